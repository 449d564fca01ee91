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

// Whether the chosen port kind's list had a port at the last Install, as
// the installation found it.
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
    PortChoice RunPortDialog(PortKind kind, CPortSource &ports) override;
    bool RunTcpipWizard() override;
    void ShowPortKind(PortKind kind) override;

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
    void EnumeratePorts();
    void UnpackDriverPackage();
    void FillDriverList();
    void IdentifySystem();

    // The installation of the selected model on the chosen kind of port.
    InstallRequest RequestForInstall();
    virtual InstallResult Install(const InstallRequest &request);
    // The one place the port the installation decided is kept.
    void ApplyResult(const InstallResult &result);
    // The port dialogs before an installation.
    PortChoice ChooseParallelPort(CPortSource &ports);
    PortChoice ChooseTcpipPort(CPortSource &ports);

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
    CPortSource m_ports;
    // The port the last installation created its printer on, or chose.
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
