// Installation of a label-printer driver: the language monitor copied into
// the system and registered with the spooler, then the driver's files
// staged in the spooler's driver directory and the driver registered. The
// printer is created afterwards, as for every driver.
#pragma once

#include "framework/afx_string.h"
#include "install/install_host.h"
#include "install/width_profile.h"

#include <memory>

struct LabelPaths;

// The model to install, as the dialog resolved it.
struct LabelModel {
    // Row of the label tables: the catalogue index past the receipt models.
    int nRow;
    const WidthProfile &width;
};

class CLabelInstallation {
public:
    explicit CLabelInstallation(const LabelModel &model);
    ~CLabelInstallation();
    CLabelInstallation(const CLabelInstallation &) = delete;
    CLabelInstallation &operator=(const CLabelInstallation &) = delete;

    LPCSTR DriverName() const;
    // Asks for the driver directory and the monitor's directory and forms
    // every path before the first copy; false, with the error to show,
    // stops the installation with nothing copied.
    bool Prepare(DWORD &dwError);
    void CopyMonitor(IInstallHost &host);
    // True when an old monitor of the same name was removed; the spooler
    // must then be restarted before the new one is added.
    bool RemoveOldMonitor();
    // A monitor already installed counts as added; false, with the
    // spooler's error, ends the installation.
    bool RegisterMonitor(IInstallHost &host, DWORD &dwError);
    void Stage(IInstallHost &host);
    // Registers the driver and removes the staged copies; false, with the
    // spooler's error, leaves them.
    bool Register(bool bWindowsNt, IInstallHost &host, DWORD &dwError);

private:
    LabelModel m_model;
    std::unique_ptr<LabelPaths> m_pPaths;
};

// The texts of the boxes and the status line that report a failure.
CString DescribeLabelFailure(DWORD dwError);
CString DescribeMonitorFailure(DWORD dwError);
extern const char kMonitorFailureText[];
