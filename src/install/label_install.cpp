// A label-printer driver: the monitor where the width puts it, the model's
// width files and the files the models share.
#include "install/label_install.h"

#include "install/driver_tables.h"
#include "install/package_layout.h"
#include "res/texts.h"
#include "system/platform.h"

namespace {

constexpr char kMonitorName[] = "Advanced Language Monitor";
constexpr char kWow64SystemFolder[] = "SysWOW64";
constexpr DWORD kMonitorInfoLevel = 2;

// Rows of the file lists by role.
constexpr int kMonitorRow = 0;
constexpr int kDriverRow = 1;
constexpr int kConfigRow = 2;
constexpr int kFirstLanguageRow = 3;

// Staged after the width's rows, in this order.
enum StagedFile { kStagedHelp = kLabelFileRows, kStagedBa0, kStagedDat, kStagedPp0 };
// Removed after registration in this order, then every width row; the
// monitor's own copy in the system stays.
constexpr int kFirstRemovals[] = {kStagedHelp, kStagedBa0, kStagedPp0, kStagedDat};

} // namespace

DriverPlan LabelDriverPlan(int nRow, const WidthProfile &width) {
    const char *const *files = width.labelFiles;
    const std::string stem = LabelFileBases[nRow];
    DriverPlan plan = {LabelDriverNames[nRow],
                       kLabelTree,
                       {},
                       {std::begin(kFirstRemovals), std::end(kFirstRemovals)},
                       files[kDriverRow],
                       stem + kLabelDatExtension,
                       files[kConfigRow],
                       kLabelHelpFile,
                       {},
                       kMonitorName};
    for (int i = 0; i < kLabelFileRows; ++i) {
        plan.files.push_back({width.pszPackageFolder, files[i], ""});
        plan.removals.push_back(i);
    }
    plan.files.insert(plan.files.end(), {{kCommonFolder, kLabelHelpFile, ""},
                                         {kCommonFolder, stem, kLabelBa0Extension},
                                         {kCommonFolder, stem, kLabelDatExtension},
                                         {kCommonFolder, stem, kLabelPp0Extension}});
    for (int i = kFirstLanguageRow; i < kLabelFileRows; ++i)
        plan.dependents.push_back(std::string("\\") + files[i]);
    plan.dependents.push_back("\\" + stem + kLabelBa0Extension);
    plan.dependents.push_back("\\" + stem + kLabelPp0Extension);
    return plan;
}

bool CLanguageMonitor::Prepare(LPCSTR pszEnvironment, const WidthProfile &width, DWORD &dwError) {
    PlatformApi &api = Platform();
    char szDirectory[MAX_PATH] = {};
    const UINT cch = width.bMonitorInSysWow64 ? api.GetWindowsDirectoryA(szDirectory, MAX_PATH)
                                              : api.GetSystemDirectoryA(szDirectory, MAX_PATH);
    if (cch == 0) {
        dwError = api.GetLastError();
        return false;
    }
    const std::string file = width.labelFiles[kMonitorRow];
    m_environment = pszEnvironment;
    m_source = std::string(kLabelTree) + "\\" + width.pszPackageFolder + "\\" + file;
    m_destination = std::string(szDirectory) + "\\" +
                    (width.bMonitorInSysWow64 ? std::string(kWow64SystemFolder) + "\\" : "") + file;
    m_name = width.bMonitorByFileName ? file : m_destination;
    if (cch >= MAX_PATH || m_destination.size() >= MAX_PATH) {
        dwError = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    return true;
}

void CLanguageMonitor::Copy(IInstallHost &host) const {
    Platform().CopyFileA(m_source.c_str(), m_destination.c_str(), FALSE);
    host.ShowStatus(m_destination.c_str());
}

bool CLanguageMonitor::RemoveOld() const {
    return Platform().DeleteMonitorA(nullptr, const_cast<LPSTR>(m_environment.c_str()),
                                     const_cast<LPSTR>(kMonitorName)) == TRUE;
}

bool CLanguageMonitor::Register(IInstallHost &host, DWORD &dwError) const {
    PlatformApi &api = Platform();
    // The spooler only reads the texts it is handed.
    MONITOR_INFO_2A info = {};
    info.pName = const_cast<LPSTR>(kMonitorName);
    info.pEnvironment = const_cast<LPSTR>(m_environment.c_str());
    info.pDLLName = const_cast<LPSTR>(m_name.c_str());
    const BOOL bAdded =
        api.AddMonitorA(nullptr, kMonitorInfoLevel, reinterpret_cast<LPBYTE>(&info));
    dwError = api.GetLastError();
    if (bAdded != TRUE && dwError != ERROR_PRINT_MONITOR_ALREADY_INSTALLED)
        return false;
    host.ShowStatus(kMonitorAddedStatus);
    return true;
}
