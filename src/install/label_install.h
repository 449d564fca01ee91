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
    // Forms where the monitor goes and the name the spooler is given; false,
    // with the error to show, when the system names no directory or the
    // path would not fit whole.
    bool Prepare(LPCSTR pszEnvironment, const WidthProfile &width, DWORD &dwError);
    void Copy(IInstallHost &host) const;
    // True when an old monitor of the same name was removed; the spooler
    // must then be restarted before the new one is added.
    bool RemoveOld() const;
    // A monitor already installed counts as added; false, with the
    // spooler's error, ends the installation.
    bool Register(IInstallHost &host, DWORD &dwError) const;

private:
    std::string m_environment, m_source, m_destination, m_name;
};
