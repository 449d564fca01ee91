// CInstallerDlg: the installer's one window and all the state of a run.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"
#include "shell/archive_extractor.h"
#include "shell/package_footprint.h"

#include <atomic>

// Set by the Install handler from the chosen port kind's list; read when the
// printer is created.
extern BYTE g_bPortAvailable;
// Id of the registered message "MyUpdateData" that refreshes the controls.
extern const UINT g_nMyUpdateDataMsg;

// Port kinds: the rows of the port-kind list.
constexpr int kPortKindSerial = 0;
constexpr int kPortKindUsb = 1;
constexpr int kPortKindParallel = 2;
constexpr int kPortKindTcpip = 3;

// The Install button's caption once an installation is complete; a press
// then ends the dialog.
constexpr char kFinishCaption[] = "&Finish";

// Version code of Windows NT 4.0, which takes drivers of record version 2.
constexpr int kVersionCodeWindowsNt = 4;

// Modes of StartOrRestartService.
constexpr DWORD SVC_RESTART = 0;
constexpr DWORD SVC_ENSURE_RUNNING = 16;

// Results of the port choices: a row of the kind's port list counted from
// PORTDLG_INDEX_BASE, or one of the two codes.
constexpr int PORTDLG_INDEX_BASE = 0x1200;
constexpr int PORTDLG_CANCELLED = 0xCCCC;
constexpr int PORTDLG_ADDED = 0xAAAA;

class CInstallerDlg : public CDialog {
public:
    CInstallerDlg();
    ~CInstallerDlg() override;

    int ResolveDriverIndex(int nSelection, const CString &strText);
    int GetWindowsVersionCode();

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange *pDX) override;
    void OnCancel() override;

    void OnInstall();
    void OnSelchangeDriver();
    LRESULT OnMyUpdateData(WPARAM wParam, LPARAM lParam);
    void OnClose();
    void OnDestroy();

    void InitPortKindList();
    void ShowStatus(LPCSTR lpszText);

    // Start-up steps, run by the worker thread in this order.
    void StartOrRestartService(LPCSTR lpszServiceName, DWORD dwMode);
    void EnumeratePorts();
    BOOL EnumerateSerialPorts(CStringArray &list);
    void UnpackDriverPackage();
    void FillDriverList();
    void IdentifySystem();

    // The two installation sequences, chosen by catalogue index.
    virtual void InstallReceiptDriver();
    virtual void InstallLabelDriver();
    void ReportReceiptDriverFailure(DWORD dwError);

    // Shared by both sequences: the port at their start, the printer at their end.
    bool ChoosePortForKind();
    void CreatePrinterAndFinish(LPCSTR lpszDriverName, LPCSTR lpszPrinterName, DWORD dwPauseMs);
    void ReportPrinterCreationFailure(DWORD dwError);
    void CompleteInstallation();

    // Port choices before an installation and port assignments after it.
    virtual int ChooseParallelPort();
    virtual int ChooseTcpipPort();
    virtual void DetectUsbPort(LPCSTR lpszPrinterName);
    void AssignSerialPort(LPCSTR lpszPrinterName);

    DECLARE_MESSAGE_MAP()

    CArchiveExtractor m_extractor;
    CButton m_btnInstall;
    CProgressCtrl m_progress;
    CComboBox m_cboDriver;
    CListCtrl m_lstPortKind;
    BOOL m_bSetDefault = TRUE;
    CString m_strStatus;
    int m_nGroup4Size = 0;
    int m_nGroup3Size = 0;
    int m_nGroup2Size = 0;
    int m_nGroup1Size = 0;
    int m_nLabelGroupSize = 0;
    int m_nDriverIndex = -1;
    int m_nPortKind = 0;
    int m_nBaudRate = 9600;
    CStringArray m_arrAllPorts;
    CStringArray m_arrUsbPorts;
    CStringArray m_arrSerialPorts;
    CStringArray m_arrParallelPorts;
    CStringArray m_arrTcpipPorts;
    CStringArray m_arrPrinterNames;
    CStringArray m_arrPrinterPorts;
    CString m_strPort;
    BOOL m_bWow64 = FALSE;
    int m_chParity = 0;
    int m_nDataBits = 0;
    int m_nStopBits = 0;

private:
    friend DWORD WINAPI StartupThreadProc(LPVOID pParam);
    void RunStartup();
    void StopStartupWorker();

    CPackageFootprint m_footprint;
    HANDLE m_hStartupWorker = nullptr;
    std::atomic<bool> m_bStopStartup{false};
};
