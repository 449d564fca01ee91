// Installation of a label-printer driver: the language monitor copied and
// registered, the driver's files staged in the spooler's driver directory,
// the driver registered with the monitor.
#include "install/label_install.h"

#include "install/driver_directory.h"
#include "install/driver_tables.h"
#include "install/install_constants.h"
#include "install/package_layout.h"
#include "install/path_format.h"
#include "system/platform.h"

#include <cstdio>

namespace {

constexpr char kMonitorName[] = "Advanced Language Monitor";
// Where 64-bit Windows keeps the monitor, below the Windows directory.
constexpr char kWow64SystemFolder[] = "SysWOW64";

constexpr char kSourceFormat[] = "%s\\%s\\%s%s";
constexpr char kDestinationFormat[] = "%s\\%s%s";
constexpr char kDependentFileFormat[] = "\\%s%s";
constexpr char kNoExtension[] = "";

constexpr int kEnvironmentSize = 255;
constexpr int kDependentFilesSize = 500;
constexpr DWORD kMonitorInfoLevel = 2;

// Rows of the file lists by role.
constexpr int kMonitorRow = 0;
constexpr int kDriverRow = 1;
constexpr int kConfigRow = 2;
constexpr int kFirstLanguageRow = 3;

// Staged in this order: every row of the width's file list, then the
// files the models share.
enum StagedFile {
    kStagedHelp = kLabelFileRows,
    kStagedBa0,
    kStagedDat,
    kStagedPp0,
    kStagedFileCount
};
// Removed after registration in this order; the monitor's own copy in the
// system stays.
constexpr int kFirstRemovals[] = {kStagedHelp, kStagedBa0, kStagedPp0, kStagedDat};

// The colon after "Click Cancel" is the full-width one of code page 936.
constexpr char kFailureText[] = "Failed to add the driver %d\r\n\r\nClick Retry:You can retry\r\n"
                                "Click Cancel\xA3\xBA"
                                "exit and abort installation";
constexpr char kMonitorFailureStatus[] = "Failed to add Monitor, error %d";

} // namespace

const char kMonitorFailureText[] = "Failed to add Monitor\r\n";

// Every path of one installation.
struct LabelPaths {
    char szEnvironment[kEnvironmentSize];
    char szMonitorDll[MAX_PATH];
    char szMonitorName[MAX_PATH];
    char szSource[kStagedFileCount][MAX_PATH];
    char szStaged[kStagedFileCount][MAX_PATH];
    char dependentFiles[kDependentFilesSize];
};

namespace {

// Where the monitor's DLL is copied, and the name the spooler is given.
bool FormMonitorPaths(LabelPaths &paths, const WidthProfile &width, DWORD &dwError) {
    PlatformApi &api = Platform();
    char szDirectory[MAX_PATH] = {};
    const UINT cch = width.bMonitorInSysWow64 ? api.GetWindowsDirectoryA(szDirectory, MAX_PATH)
                                              : api.GetSystemDirectoryA(szDirectory, MAX_PATH);
    if (cch == 0) {
        dwError = api.GetLastError();
        return false;
    }
    const LPCSTR pszFile = width.labelFiles[kMonitorRow];
    const bool bWhole = cch < MAX_PATH &&
                        (width.bMonitorInSysWow64
                             ? FormatPath(paths.szMonitorDll, "%s\\%s\\%s", szDirectory,
                                          kWow64SystemFolder, pszFile)
                             : FormatPath(paths.szMonitorDll, "%s\\%s", szDirectory, pszFile)) &&
                        FormatPath(paths.szMonitorName, "%s",
                                   width.bMonitorByFileName ? pszFile : paths.szMonitorDll);
    if (!bWhole)
        dwError = ERROR_FILENAME_EXCED_RANGE;
    return bWhole;
}

// The language DLLs, then the model's .BA0 and .PP0, each name closed by
// its NUL and the list by one more, in a zero-filled buffer.
bool FormDependentFiles(char (&list)[kDependentFilesSize], const char *const *files,
                        LPCSTR pszStem) {
    size_t cbUsed = 0;
    const auto append = [&](LPCSTR pszName, LPCSTR pszExtension) {
        const size_t cbRest = sizeof(list) - cbUsed;
        const int nLength =
            std::snprintf(list + cbUsed, cbRest, kDependentFileFormat, pszName, pszExtension);
        // The list's closing NUL needs room too.
        if (nLength < 0 || static_cast<size_t>(nLength) + 2 > cbRest)
            return false;
        cbUsed += static_cast<size_t>(nLength) + 1;
        return true;
    };
    for (int i = kFirstLanguageRow; i < kLabelFileRows; ++i) {
        if (!append(files[i], kNoExtension))
            return false;
    }
    return append(pszStem, kLabelBa0Extension) && append(pszStem, kLabelPp0Extension);
}

bool FormStagedPaths(LabelPaths &paths, LPCSTR pszWidthFolder, const char *const *files,
                     LPCSTR pszDriverDirectory, LPCSTR pszStem) {
    struct {
        LPCSTR pszFolder, pszStem, pszExtension;
    } names[kStagedFileCount] = {};
    for (int i = 0; i < kLabelFileRows; ++i)
        names[i] = {pszWidthFolder, files[i], kNoExtension};
    names[kStagedHelp] = {kCommonFolder, kLabelHelpFile, kNoExtension};
    names[kStagedBa0] = {kCommonFolder, pszStem, kLabelBa0Extension};
    names[kStagedDat] = {kCommonFolder, pszStem, kLabelDatExtension};
    names[kStagedPp0] = {kCommonFolder, pszStem, kLabelPp0Extension};
    for (int i = 0; i < kStagedFileCount; ++i) {
        if (!FormatPath(paths.szSource[i], kSourceFormat, kLabelTree, names[i].pszFolder,
                        names[i].pszStem, names[i].pszExtension) ||
            !FormatPath(paths.szStaged[i], kDestinationFormat, pszDriverDirectory, names[i].pszStem,
                        names[i].pszExtension))
            return false;
    }
    return true;
}

} // namespace

CLabelInstallation::CLabelInstallation(const LabelModel &model)
    : m_model(model), m_pPaths(std::make_unique<LabelPaths>()) {}

CLabelInstallation::~CLabelInstallation() = default;

LPCSTR CLabelInstallation::DriverName() const {
    return LabelDriverNames[m_model.nRow];
}

bool CLabelInstallation::Prepare(DWORD &dwError) {
    LabelPaths &paths = *m_pPaths;
    std::snprintf(paths.szEnvironment, sizeof(paths.szEnvironment), "%s",
                  m_model.width.pszEnvironment);
    char szDriverDirectory[kDriverDirectorySize];
    if (!QueryDriverDirectory(paths.szEnvironment, szDriverDirectory, dwError))
        return false;
    const char *const *files = m_model.width.labelFiles;
    if (!FormMonitorPaths(paths, m_model.width, dwError))
        return false;
    const LPCSTR pszStem = LabelFileBases[m_model.nRow];
    if (!FormStagedPaths(paths, m_model.width.pszPackageFolder, files, szDriverDirectory,
                         pszStem) ||
        !FormDependentFiles(paths.dependentFiles, files, pszStem)) {
        dwError = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    return true;
}

void CLabelInstallation::CopyMonitor(IInstallHost &host) {
    Platform().CopyFileA(m_pPaths->szSource[kMonitorRow], m_pPaths->szMonitorDll, FALSE);
    host.ShowStatus(m_pPaths->szMonitorDll);
}

bool CLabelInstallation::RemoveOldMonitor() {
    return Platform().DeleteMonitorA(nullptr, m_pPaths->szEnvironment,
                                     const_cast<LPSTR>(kMonitorName)) == TRUE;
}

bool CLabelInstallation::RegisterMonitor(IInstallHost &host, DWORD &dwError) {
    PlatformApi &api = Platform();
    // The spooler only reads the texts it is handed.
    MONITOR_INFO_2A info = {};
    info.pName = const_cast<LPSTR>(kMonitorName);
    info.pEnvironment = m_pPaths->szEnvironment;
    info.pDLLName = m_pPaths->szMonitorName;
    const BOOL bAdded =
        api.AddMonitorA(nullptr, kMonitorInfoLevel, reinterpret_cast<LPBYTE>(&info));
    dwError = api.GetLastError();
    if (bAdded != TRUE && dwError != ERROR_PRINT_MONITOR_ALREADY_INSTALLED)
        return false;
    host.ShowStatus(kMonitorName + CString(kAddedTail));
    return true;
}

void CLabelInstallation::Stage(IInstallHost &host) {
    StageDriverFiles(m_pPaths->szSource, m_pPaths->szStaged, DriverName(), host);
}

bool CLabelInstallation::Register(bool bWindowsNt, IInstallHost &host, DWORD &dwError) {
    PlatformApi &api = Platform();
    LabelPaths &paths = *m_pPaths;
    // The spooler only reads the texts it is handed.
    DRIVER_INFO_3A info = {};
    info.pName = const_cast<LPSTR>(DriverName());
    info.pEnvironment = paths.szEnvironment;
    info.pDriverPath = paths.szStaged[kDriverRow];
    info.pDataFile = paths.szStaged[kStagedDat];
    info.pConfigFile = paths.szStaged[kConfigRow];
    info.pHelpFile = paths.szStaged[kStagedHelp];
    info.pDependentFiles = paths.dependentFiles;
    info.pMonitorName = const_cast<LPSTR>(kMonitorName);
    if (!AddDriverRecord(info, bWindowsNt, host, dwError))
        return false;
    for (int i : kFirstRemovals)
        api.DeleteFileA(paths.szStaged[i]);
    for (int i = 0; i < kLabelFileRows; ++i)
        api.DeleteFileA(paths.szStaged[i]);
    host.SetProgress(kProgressRegistered);
    return true;
}

CString DescribeLabelFailure(DWORD dwError) {
    CString strText;
    strText.Format(kFailureText, static_cast<int>(dwError));
    return strText;
}

CString DescribeMonitorFailure(DWORD dwError) {
    CString strText;
    strText.Format(kMonitorFailureStatus, static_cast<int>(dwError));
    return strText;
}
