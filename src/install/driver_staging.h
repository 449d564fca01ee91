// What both families of drivers do with their files: stage them in the
// spooler's driver directory, register the driver record that names them,
// and remove the staged copies the spooler has taken its own of.
#pragma once

#include "framework/step_result.h"
#include "install/driver_plan.h"
#include "install/install_host.h"

#include <string>
#include <vector>

class CDriverStaging {
public:
    // Asks the spooler for its driver directory and forms every path
    // before the first copy; fails, with the error to show, when the
    // spooler names none or a path would not fit whole.
    StepResult Prepare(LPCSTR pszEnvironment, DriverPlan plan);
    LPCSTR Environment() const { return m_environment.c_str(); }
    // Copies each file to its place, showing each destination, then says
    // that the driver is being added.
    void Stage(IInstallHost &host) const;
    // Registers the record, of version 2 on Windows NT 4.0 and 3 elsewhere,
    // and removes the staged copies; a failure, with the spooler's error,
    // leaves them.
    StepResult Register(bool bWindowsNt, IInstallHost &host) const;

private:
    std::string InDirectory(const std::string &name) const { return m_directory + "\\" + name; }

    DriverPlan m_plan;
    std::string m_environment, m_directory;
    std::vector<std::string> m_sources, m_staged;
};
