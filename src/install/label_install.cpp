// A label-printer driver's language monitor, put where the width puts it.
#include "install/label_install.h"

#include "install/package_layout.h"
#include "res/texts.h"
#include "system/platform.h"

namespace {

constexpr char kWow64SystemFolder[] = "SysWOW64";
constexpr DWORD kMonitorInfoLevel = 2;

} // namespace

StepResult CLanguageMonitor::Prepare(LPCSTR pszEnvironment, const WidthProfile &width) {
    PlatformApi &api = Platform();
    char szDirectory[MAX_PATH] = {};
    const UINT cch = width.bMonitorInSysWow64 ? api.GetWindowsDirectoryA(szDirectory, MAX_PATH)
                                              : api.GetSystemDirectoryA(szDirectory, MAX_PATH);
    if (cch == 0)
        return StepResult::Failure(api.GetLastError());
    const std::string file = width.labelFiles[kLabelMonitorRow];
    m_environment = pszEnvironment;
    m_source = std::string(kLabelTree) + "\\" + width.pszPackageFolder + "\\" + file;
    m_destination = std::string(szDirectory) + "\\" +
                    (width.bMonitorInSysWow64 ? std::string(kWow64SystemFolder) + "\\" : "") + file;
    m_name = width.bMonitorByFileName ? file : m_destination;
    if (cch >= MAX_PATH || m_destination.size() >= MAX_PATH)
        return StepResult::Failure(ERROR_FILENAME_EXCED_RANGE);
    return {};
}

void CLanguageMonitor::Copy(IInstallHost &host) const {
    Platform().CopyFileA(m_source.c_str(), m_destination.c_str(), FALSE);
    host.ShowStatus(m_destination.c_str());
}

StepResult CLanguageMonitor::RemoveOld() const {
    PlatformApi &api = Platform();
    if (api.DeleteMonitorA(nullptr, const_cast<LPSTR>(m_environment.c_str()),
                           const_cast<LPSTR>(kLabelMonitorName)) == TRUE)
        return {};
    return StepResult::Failure(api.GetLastError());
}

StepResult CLanguageMonitor::Register(IInstallHost &host) const {
    PlatformApi &api = Platform();
    // The spooler only reads the texts it is handed.
    MONITOR_INFO_2A info = {};
    info.pName = const_cast<LPSTR>(kLabelMonitorName);
    info.pEnvironment = const_cast<LPSTR>(m_environment.c_str());
    info.pDLLName = const_cast<LPSTR>(m_name.c_str());
    const BOOL bAdded =
        api.AddMonitorA(nullptr, kMonitorInfoLevel, reinterpret_cast<LPBYTE>(&info));
    const DWORD dwError = api.GetLastError();
    if (bAdded != TRUE && dwError != ERROR_PRINT_MONITOR_ALREADY_INSTALLED)
        return StepResult::Failure(dwError);
    host.ShowStatus(kMonitorAddedStatus);
    return {};
}
