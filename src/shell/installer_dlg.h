// CInstallerDlg: the installer's one window and all the state of a run. It
// calls the parts in their order and shows what they return.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"
#include "install/install_host.h"
#include "install/installation_flow.h"
#include "shell/archive_extractor.h"
#include "shell/package_staging.h"

#include <atomic>

// Set by the Install handler from the chosen port kind's list; read when the
// printer is created.
extern BYTE g_bPortAvailable;
// Id of the registered message "MyUpdateData" that refreshes the controls.
extern const UINT g_nMyUpdateDataMsg;

class CInstallerDlg : public CDialog, public IInstallHost {
public:
    CInstallerDlg();
    ~CInstallerDlg() override;

    int ResolveDriverIndex(int nSelection, const CString &strText);
    int GetWindowsVersionCode();

    // The one way the dialog and its parts show progress and ask.
    void ShowStatus(LPCSTR lpszText) override;
    void SetProgress(Progress nPos) override;
    int ShowBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) override;
    PortChoice RunPortDialog(PortKind kind) override;
    bool RunTcpipWizard() override;
    PortLists RefreshPorts() override;

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

    // The installation of the selected model on the chosen kind of port.
    InstallRequest RequestForInstall();
    virtual InstallOutcome Install(const InstallRequest &request);
    void ApplyOutcome(InstallOutcome outcome);
    // The port dialogs before an installation.
    PortChoice ChooseParallelPort();
    PortChoice ChooseTcpipPort();

    DECLARE_MESSAGE_MAP()

    CArchiveExtractor m_extractor;
    CButton m_btnInstall;
    CProgressCtrl m_progress;
    CComboBox m_cboDriver;
    CListCtrl m_lstPortKind;
    BOOL m_bSetDefault = TRUE;
    CString m_strStatus;
    int m_nDriverIndex = -1;
    int m_nPortKind = 0;
    // The spooler's ports as last read, by kind.
    PortLists m_ports;
    CString m_strPort;
    BOOL m_bWow64 = FALSE;

private:
    friend DWORD WINAPI StartupThreadProc(LPVOID pParam);
    void RunStartup();
    void EnsureSpoolerRunning();
    void StopStartupWorker();
    void WaitForStartupWorker(DWORD dwTimeoutMs);
    // Copies the members into the controls, from either thread.
    void RefreshControls();
    void EnableInstall(LPCSTR lpszCaption = nullptr);

    CPackageStaging m_staging;
    HANDLE m_hStartupWorker = nullptr;
    std::atomic<bool> m_bStopStartup{false};
    // Set by the worker when a package was there but could not be unpacked.
    bool m_bUnpackFailed = false;
};
