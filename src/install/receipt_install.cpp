// Installation of a receipt-printer driver on the universal printer driver:
// its files staged in the spooler's driver directory, the driver registered.
#include "install/receipt_install.h"

#include "install/driver_directory.h"
#include "install/driver_tables.h"
#include "install/install_constants.h"
#include "install/package_layout.h"
#include "install/path_format.h"
#include "system/platform.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char kSourceFormat[] = "%s\\%s\\%s%s";
constexpr char kDestinationFormat[] = "%s\\%s%s";
constexpr char kDllExtension[] = ".DLL";
constexpr char kGpdExtension[] = ".GPD";
constexpr char kNoExtension[] = "";
// Named in the driver record as the driver, its user interface and its help.
constexpr char kRecordPathFormat[] = "%s\\%s";
constexpr char kDriverFile[] = "uniDRV.DLL";
constexpr char kConfigFile[] = "uniDRVui.DLL";
constexpr char kHelpFile[] = "uniDRV.HLP";

constexpr int kEnvironmentSize = 255;
constexpr int kPathSize = 260;
constexpr int kDependentFilesSize = 256;

// Unidrv's own files and, for the plug-in models, the plug-in's, each
// name closed by its NUL; the group DLL follows.
constexpr char kDependentFiles[] = "\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD";
constexpr char kPluginDependentFiles[] =
    "\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD\0\\XOEMUNI.ini\0\\XOEMUNI.dll";
static_assert(sizeof(kDependentFiles) == 38, "three names");
static_assert(sizeof(kPluginDependentFiles) == 64, "five names");

// Rows of ReceiptGroupDlls by model group, counted from 1.
constexpr int kGroupDllRows[] = {0, 1, 3, 5};
constexpr int kOwnDllRow = 2;

// The colon after "Click Cancel" is the full-width one of code page 936.
constexpr char kFailureText[] = "Failed to add the driver %d\r\n\r\nClick Retry:You can retry\r\n"
                                "Click Cancel\xA3\xBA"
                                "Exit and abort installation";

// Staged in this order; the plug-in files stay after registration.
enum StagedFile {
    kStagedGroupDll,
    kStagedGpd,
    kStagedPluginDll,
    kStagedPluginIni,
    kStagedFirstCore,
    kStagedFileCount = kStagedFirstCore + kUnidrvCoreFileCount
};

} // namespace

const char kReceiptFailureCaption[] = "Error";

// Every path of one installation.
struct ReceiptPaths {
    char szEnvironment[kEnvironmentSize];
    char szSource[kStagedFileCount][kPathSize];
    char szStaged[kStagedFileCount][kPathSize];
    char szDriverPath[kPathSize];
    char szDataFile[kPathSize];
    char szConfigFile[kPathSize];
    char szHelpFile[kPathSize];
    char dependentFiles[kDependentFilesSize];
};

namespace {

// The list is a run of names each closed by its NUL, closed by one more.
bool FormDependentFiles(char (&list)[kDependentFilesSize], LPCSTR pszGroupDllStem,
                        bool bPluginModel) {
    const size_t cbPrefix = bPluginModel ? sizeof(kPluginDependentFiles) : sizeof(kDependentFiles);
    std::memcpy(list, bPluginModel ? kPluginDependentFiles : kDependentFiles, cbPrefix);
    const size_t cbRest = sizeof(list) - cbPrefix;
    const int nLength =
        std::snprintf(list + cbPrefix, cbRest, "%s%s", pszGroupDllStem, kDllExtension);
    return nLength >= 0 && static_cast<size_t>(nLength) + 2 <= cbRest;
}

bool FormReceiptPaths(ReceiptPaths &paths, LPCSTR pszWidthFolder, LPCSTR pszDriverDirectory,
                      LPCSTR pszGroupDllStem, LPCSTR pszGpdStem, bool bPluginModel) {
    struct {
        LPCSTR pszStem;
        LPCSTR pszExtension;
    } names[kStagedFileCount] = {
        {pszGroupDllStem, kDllExtension},
        {pszGpdStem, kGpdExtension},
        {kPluginStem, kPluginDllExtension},
        {kPluginStem, kPluginIniExtension},
    };
    for (int i = 0; i < kUnidrvCoreFileCount; ++i)
        names[kStagedFirstCore + i] = {UnidrvCoreFiles[i], kNoExtension};
    for (int i = 0; i < kStagedFileCount; ++i) {
        if (!FormatPath(paths.szSource[i], kSourceFormat, kReceiptTree, pszWidthFolder,
                        names[i].pszStem, names[i].pszExtension) ||
            !FormatPath(paths.szStaged[i], kDestinationFormat, pszDriverDirectory, names[i].pszStem,
                        names[i].pszExtension))
            return false;
    }
    return FormatPath(paths.szDriverPath, kRecordPathFormat, pszDriverDirectory, kDriverFile) &&
           FormatPath(paths.szDataFile, kDestinationFormat, pszDriverDirectory, pszGpdStem,
                      kGpdExtension) &&
           FormatPath(paths.szConfigFile, kRecordPathFormat, pszDriverDirectory, kConfigFile) &&
           FormatPath(paths.szHelpFile, kRecordPathFormat, pszDriverDirectory, kHelpFile) &&
           FormDependentFiles(paths.dependentFiles, pszGroupDllStem, bPluginModel);
}

} // namespace

CReceiptInstallation::CReceiptInstallation(const ReceiptModel &model)
    : m_model(model), m_pPaths(std::make_unique<ReceiptPaths>()) {}

CReceiptInstallation::~CReceiptInstallation() = default;

LPCSTR CReceiptInstallation::DriverName() const {
    return ReceiptDriverNames[m_model.nIndex];
}

bool CReceiptInstallation::Prepare(DWORD &dwError) {
    ReceiptPaths &paths = *m_pPaths;
    std::snprintf(paths.szEnvironment, sizeof(paths.szEnvironment), "%s",
                  m_model.width.pszEnvironment);
    char szDriverDirectory[kDriverDirectorySize];
    if (!QueryDriverDirectory(paths.szEnvironment, szDriverDirectory, dwError))
        return false;

    const int nIndex = m_model.nIndex;
    int nGroupDllRow = kGroupDllRows[m_model.nGroup - 1];
    if (m_model.nGroup == 2 &&
        std::strcmp(m_model.pszShownName, ReceiptDriverNames[kOwnDllModel]) == 0)
        nGroupDllRow = kOwnDllRow;
    if (!FormReceiptPaths(paths, m_model.width.pszPackageFolder, szDriverDirectory,
                          ReceiptGroupDlls[nGroupDllRow], ReceiptFileBases[nIndex],
                          nIndex >= kFirstPluginModel && nIndex <= kLastPluginModel)) {
        dwError = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    return true;
}

void CReceiptInstallation::Stage(IInstallHost &host) {
    StageDriverFiles(m_pPaths->szSource, m_pPaths->szStaged, DriverName(), host);
}

bool CReceiptInstallation::Register(bool bWindowsNt, IInstallHost &host, DWORD &dwError) {
    PlatformApi &api = Platform();
    ReceiptPaths &paths = *m_pPaths;
    // The spooler only reads the texts it is handed.
    DRIVER_INFO_3A info = {};
    info.pName = const_cast<LPSTR>(DriverName());
    info.pEnvironment = paths.szEnvironment;
    info.pDriverPath = paths.szDriverPath;
    info.pDataFile = paths.szDataFile;
    info.pConfigFile = paths.szConfigFile;
    info.pHelpFile = paths.szHelpFile;
    info.pDependentFiles = paths.dependentFiles;
    info.pMonitorName = const_cast<LPSTR>("");
    if (!AddDriverRecord(info, bWindowsNt, host, dwError))
        return false;
    for (int i = 0; i < kStagedFileCount; ++i) {
        if (i != kStagedPluginDll && i != kStagedPluginIni)
            api.DeleteFileA(paths.szStaged[i]);
    }
    host.SetProgress(kProgressRegistered);
    return true;
}

CString DescribeReceiptFailure(DWORD dwError) {
    CString strText;
    strText.Format(kFailureText, static_cast<int>(dwError));
    return strText;
}
