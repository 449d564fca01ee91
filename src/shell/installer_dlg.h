// CInstallerDlg: the installer's one window and all the state of a run. It
// calls the parts in their order and shows what they return.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"
#include "install/install_view.h"
#include "ports/port_assignment_host.h"
#include "ports/port_choice.h"
#include "shell/archive_extractor.h"
#include "shell/package_staging.h"

#include <atomic>

// Set by the Install handler from the chosen port kind's list; read when the
// printer is created.
extern BYTE g_bPortAvailable;
// Id of the registered message "MyUpdateData" that refreshes the controls.
extern const UINT g_nMyUpdateDataMsg;

// The Install button's caption once an installation is complete; a press
// then ends the dialog.
constexpr char kFinishCaption[] = "&Finish";

class CInstallerDlg : public CDialog, public IInstallView, public IPortAssignmentHost {
public:
    CInstallerDlg();
    ~CInstallerDlg() override;

    int ResolveDriverIndex(int nSelection, const CString &strText);
    int GetWindowsVersionCode();

    // The one way the dialog and its parts show progress.
    void ShowStatus(LPCSTR lpszText) override;
    void SetProgress(int nPos) override;
    void ShowMessage(LPCSTR lpszText) override;

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

    // Start-up steps, run by the worker thread in this order.
    void StartOrRestartService(LPCSTR lpszServiceName, DWORD dwMode);
    void EnumeratePorts();
    void UnpackDriverPackage();
    void FillDriverList();
    void IdentifySystem();

    // The two installation sequences, chosen by catalogue index.
    virtual void InstallReceiptDriver();
    virtual void InstallLabelDriver();
    // Retry leaves Install ready for another attempt; Cancel ends the dialog.
    void ReportDriverFailure(LPCSTR lpszText, LPCSTR lpszCaption);

    // Shared by both sequences: the port at their start, the printer at their end.
    bool ChoosePortForKind();
    void CreatePrinterAndFinish(LPCSTR lpszDriverName, LPCSTR lpszPrinterName, DWORD dwPauseMs);
    void ReportPrinterCreationFailure(DWORD dwError);
    void CompleteInstallation();

    // Port choices before an installation and port assignments after it.
    virtual PortChoice ChooseParallelPort();
    virtual PortChoice ChooseTcpipPort();
    virtual void DetectUsbPort(LPCSTR lpszPrinterName);
    virtual void AssignSerialPort(LPCSTR lpszPrinterName);
    BOOL EnumeratePrinters(CStringArray &arrNames, CStringArray &arrPorts);
    void WritePrinterPort(LPCSTR lpszPrinterName, CString strPortName) override;
    void RestartSpooler() override;

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
    void EnsureSpoolerRunning();
    void StopStartupWorker();
    void WaitForStartupWorker(DWORD dwTimeoutMs);
    // Copies the members into the controls, from either thread.
    void RefreshControls();
    void SetPortKindListStyle();
    void EnableInstall(LPCSTR lpszCaption = nullptr);
    // The port the printer is created on, and the status that says so.
    CString PortForCreation() const;
    void ShowPrinterAdded(LPCSTR lpszPrinterName);

    CPackageStaging m_staging;
    HANDLE m_hStartupWorker = nullptr;
    std::atomic<bool> m_bStopStartup{false};
    // Set by the worker when a package was there but could not be unpacked.
    bool m_bUnpackFailed = false;
};
