// A label-printer driver: its language monitor, copied into the system and
// registered with the spooler, and its driver's files, which name the
// monitor.
#pragma once

#include "framework/afx_string.h"
#include "install/driver_staging.h"
#include "install/install_host.h"
#include "install/label_plan.h"

class CLanguageMonitor {
public:
    // Forms where the monitor goes and the name the spooler is given; fails,
    // with the error to show, when the system names no directory or the
    // path would not fit whole.
    StepResult Prepare(LPCSTR pszEnvironment, const WidthProfile &width);
    void Copy(IInstallHost &host) const;
    // Succeeds when an old monitor of the same name was removed; the
    // spooler must then be restarted before the new one is added.
    StepResult RemoveOld() const;
    // A monitor already installed counts as added; a failure, with the
    // spooler's error, ends the installation.
    StepResult Register(IInstallHost &host) const;

private:
    std::string m_environment, m_source, m_destination, m_name;
};
