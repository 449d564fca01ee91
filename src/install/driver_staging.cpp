#include "install/driver_staging.h"

#include "install/install_constants.h"
#include "res/texts.h"
#include "system/platform.h"

#include <cstring>
#include <utility>

namespace {

constexpr DWORD kDriverDirectoryLevel = 1;
// The driver record: its level, and its version, older for Windows NT 4.0.
constexpr DWORD kDriverInfoLevel = 3;
constexpr DWORD kDriverVersion = 3;
constexpr DWORD kWindowsNtDriverVersion = 2;
constexpr int kDriverDirectorySize = 255;

// A path the spooler or the file system cannot take whole would name
// another file.
bool Fits(const std::string &path) {
    return path.size() < MAX_PATH;
}

} // namespace

StepResult CDriverStaging::Prepare(LPCSTR pszEnvironment, DriverPlan plan) {
    PlatformApi &api = Platform();
    m_plan = std::move(plan);
    m_environment = pszEnvironment;
    char szDirectory[kDriverDirectorySize] = {};
    DWORD cbNeeded = 0;
    // The spooler only reads the environment.
    if (!api.GetPrinterDriverDirectoryA(
            nullptr, const_cast<LPSTR>(pszEnvironment), kDriverDirectoryLevel,
            reinterpret_cast<LPBYTE>(szDirectory), sizeof(szDirectory), &cbNeeded))
        return StepResult::Failure(api.GetLastError());
    // Without a directory the files would land in the current one.
    if (szDirectory[0] == '\0' || std::memchr(szDirectory, '\0', sizeof(szDirectory)) == nullptr)
        return StepResult::Failure(ERROR_PATH_NOT_FOUND);
    m_directory = szDirectory;
    m_sources.clear();
    m_staged.clear();
    bool bFits = true;
    for (const DriverFile &file : m_plan.files) {
        m_sources.push_back(std::string(m_plan.pszTree) + "\\" + file.folder + "\\" + file.stem +
                            file.extension);
        m_staged.push_back(InDirectory(file.stem + file.extension));
        bFits = bFits && Fits(m_sources.back()) && Fits(m_staged.back());
    }
    for (const std::string *pName : {&m_plan.driver, &m_plan.data, &m_plan.config, &m_plan.help})
        bFits = bFits && Fits(InDirectory(*pName));
    if (!bFits)
        return StepResult::Failure(ERROR_FILENAME_EXCED_RANGE);
    return {};
}

void CDriverStaging::Stage(IInstallHost &host) const {
    for (size_t i = 0; i < m_staged.size(); ++i) {
        Platform().CopyFileA(m_sources[i].c_str(), m_staged[i].c_str(), FALSE);
        host.ShowStatus(m_staged[i].c_str());
    }
    host.SetProgress(kProgressStaged);
    host.ShowStatus(Formatted(kAddingDriverStatus, m_plan.pszDriverName));
}

StepResult CDriverStaging::Register(bool bWindowsNt, IInstallHost &host) const {
    PlatformApi &api = Platform();
    std::string driver = InDirectory(m_plan.driver), data = InDirectory(m_plan.data),
                config = InDirectory(m_plan.config), help = InDirectory(m_plan.help);
    // Each name closed by its NUL, the list by one more.
    std::string dependents;
    for (const std::string &name : m_plan.dependents)
        dependents += name + '\0';
    dependents += '\0';
    // The spooler only reads the texts it is handed.
    DRIVER_INFO_3A info = {};
    info.cVersion = bWindowsNt ? kWindowsNtDriverVersion : kDriverVersion;
    info.pName = const_cast<LPSTR>(m_plan.pszDriverName);
    info.pEnvironment = const_cast<LPSTR>(m_environment.c_str());
    info.pDriverPath = &driver[0];
    info.pDataFile = &data[0];
    info.pConfigFile = &config[0];
    info.pHelpFile = &help[0];
    info.pDependentFiles = &dependents[0];
    info.pMonitorName = const_cast<LPSTR>(m_plan.pszMonitor);
    info.pDefaultDataType = const_cast<LPSTR>(kRawDatatype);
    const BOOL bAdded = api.AddPrinterDriverExA(
        nullptr, kDriverInfoLevel, reinterpret_cast<LPBYTE>(&info), APD_COPY_NEW_FILES);
    const DWORD dwError = api.GetLastError();
    if (bAdded != TRUE)
        return StepResult::Failure(dwError);
    host.ShowStatus(Formatted(kDriverAddedStatus, m_plan.pszDriverName));
    for (const int nRow : m_plan.removals)
        api.DeleteFileA(m_staged[static_cast<size_t>(nRow)].c_str());
    host.SetProgress(kProgressRegistered);
    return {};
}
