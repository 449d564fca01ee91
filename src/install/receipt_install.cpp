// Installation of a receipt-printer driver on the universal printer driver:
// its files staged in the spooler's driver directory, the driver
// registered, then the printer created.
#include "shell/installer_dlg.h"

#include "install/driver_tables.h"
#include "install/install_constants.h"
#include "res/resource.h"
#include "system/platform.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kEnvironmentX86[] = "Windows NT x86";
constexpr char kEnvironmentX64[] = "Windows x64";
constexpr char kSourceFormatX86[] = "C:\\Ticket\\x86\\%s%s";
constexpr char kSourceFormatX64[] = "C:\\Ticket\\x64\\%s%s";
constexpr char kDestinationFormat[] = "%s\\%s%s";
constexpr char kDllExtension[] = ".DLL";
constexpr char kGpdExtension[] = ".GPD";
constexpr char kPluginStem[] = "XOEMUNI";
constexpr char kPluginDllExtension[] = ".dll";
constexpr char kPluginIniExtension[] = ".ini";
constexpr char kNoExtension[] = "";
// Named in the driver record as the driver, its user interface and its help.
constexpr char kRecordPathFormat[] = "%s\\%s";
constexpr char kDriverFile[] = "uniDRV.DLL";
constexpr char kConfigFile[] = "uniDRVui.DLL";
constexpr char kHelpFile[] = "uniDRV.HLP";

constexpr int kEnvironmentSize = 255;
constexpr int kDriverDirectorySize = 255;
constexpr int kPathSize = 260;
constexpr int kDependentFilesSize = 256;
constexpr DWORD kDriverDirectoryLevel = 1;
constexpr DWORD kDriverInfoLevel = 3;

// Unidrv's own files and, for the plug-in models, the plug-in's, each
// name closed by its NUL; the group DLL follows.
constexpr char kDependentFiles[] = "\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD";
constexpr char kPluginDependentFiles[] =
    "\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD\0\\XOEMUNI.ini\0\\XOEMUNI.dll";
static_assert(sizeof(kDependentFiles) == 38, "three names");
static_assert(sizeof(kPluginDependentFiles) == 64, "five names");
constexpr int kFirstPluginModel = 30;
constexpr int kLastPluginModel = 32;

// Rows of ReceiptGroupDlls by model group; one model of group 2 has a DLL
// of its own when the driver list shows its own name.
constexpr int kGroup1DllRow = 0;
constexpr int kGroup2DllRow = 1;
constexpr int kGroup2OwnDllRow = 2;
constexpr int kGroup3DllRow = 3;
constexpr int kGroup4DllRow = 5;
constexpr int kOwnDllModel = 19;

constexpr DWORD kDriverVersion = 3;
constexpr DWORD kWindowsNtDriverVersion = 2;

constexpr char kAddingStatus[] = "Adding printer drive ";
constexpr char kAddedStatusHead[] = "Driver ";
constexpr char kAddedStatusTail[] = " is added";
constexpr char kFailureCaption[] = "Error";
// The colon after "Click Cancel" is the full-width one of code page 936.
constexpr char kFailureText[] = "Failed to add the driver %d\r\n\r\nClick Retry:You can retry\r\n"
                                "Click Cancel\xA3\xBA"
                                "Exit and abort installation";

constexpr DWORD kPrinterPauseMs = 500;

// Staged in this order; the plug-in files stay after registration.
enum StagedFile {
    kStagedGroupDll,
    kStagedGpd,
    kStagedPluginDll,
    kStagedPluginIni,
    kStagedFirstCore,
    kStagedFileCount = kStagedFirstCore + kUnidrvCoreFileCount
};

// Every path of one installation, formed before the first copy so that a
// path that does not fit stops the installation with nothing copied.
struct ReceiptPaths {
    char szSource[kStagedFileCount][kPathSize];
    char szStaged[kStagedFileCount][kPathSize];
    char szDriverPath[kPathSize];
    char szDataFile[kPathSize];
    char szConfigFile[kPathSize];
    char szHelpFile[kPathSize];
    char dependentFiles[kDependentFilesSize];
};

// Writes a path into its buffer; false when it would not fit, so that a
// cut path is never used.
bool FormatPath(char (&szPath)[kPathSize], LPCSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    const int nLength = std::vsnprintf(szPath, kPathSize, pszFormat, args);
    va_end(args);
    return nLength >= 0 && nLength < kPathSize;
}

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

bool FormReceiptPaths(ReceiptPaths &paths, LPCSTR pszSourceFormat, LPCSTR pszDriverDirectory,
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
        if (!FormatPath(paths.szSource[i], pszSourceFormat, names[i].pszStem,
                        names[i].pszExtension) ||
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

void CInstallerDlg::InstallReceiptDriver() {
    PlatformApi &api = Platform();
    if (!ChoosePortForKind())
        return;

    char szEnvironment[kEnvironmentSize] = {};
    std::snprintf(szEnvironment, sizeof(szEnvironment), "%s",
                  m_bWow64 ? kEnvironmentX64 : kEnvironmentX86);
    const LPCSTR pszSourceFormat = m_bWow64 ? kSourceFormatX64 : kSourceFormatX86;
    // Without the directory the files would land in the current directory.
    char szDriverDirectory[kDriverDirectorySize] = {};
    DWORD cbNeeded = 0;
    if (!api.GetPrinterDriverDirectoryA(nullptr, szEnvironment, kDriverDirectoryLevel,
                                        reinterpret_cast<LPBYTE>(szDriverDirectory),
                                        kDriverDirectorySize, &cbNeeded)) {
        ReportReceiptDriverFailure(api.GetLastError());
        return;
    }
    if (szDriverDirectory[0] == '\0' ||
        std::memchr(szDriverDirectory, '\0', kDriverDirectorySize) == nullptr) {
        ReportReceiptDriverFailure(ERROR_PATH_NOT_FOUND);
        return;
    }

    const int nIndex = m_nDriverIndex;
    const LPCSTR pszDriverName = ReceiptDriverNames[nIndex];
    const LPCSTR pszGpdStem = ReceiptFileBases[nIndex];
    int nGroupDllRow = kGroup4DllRow;
    if (nIndex < m_nGroup1Size) {
        nGroupDllRow = kGroup1DllRow;
    } else if (nIndex < m_nGroup1Size + m_nGroup2Size) {
        CString strShown;
        m_cboDriver.GetWindowText(strShown);
        nGroupDllRow =
            strShown == ReceiptDriverNames[kOwnDllModel] ? kGroup2OwnDllRow : kGroup2DllRow;
    } else if (nIndex < m_nGroup1Size + m_nGroup2Size + m_nGroup3Size) {
        nGroupDllRow = kGroup3DllRow;
    }
    const LPCSTR pszGroupDllStem = ReceiptGroupDlls[nGroupDllRow];
    CString strPrinterName;
    GetDlgItem(IDC_PRINTER_NAME).GetWindowText(strPrinterName);

    ReceiptPaths paths = {};
    if (!FormReceiptPaths(paths, pszSourceFormat, szDriverDirectory, pszGroupDllStem, pszGpdStem,
                          nIndex >= kFirstPluginModel && nIndex <= kLastPluginModel)) {
        ReportReceiptDriverFailure(ERROR_FILENAME_EXCED_RANGE);
        return;
    }

    for (int i = 0; i < kStagedFileCount; ++i) {
        api.CopyFileA(paths.szSource[i], paths.szStaged[i], FALSE);
        ShowStatus(paths.szStaged[i]);
    }
    m_progress.SetPos(kProgressStaged);
    ShowStatus(kAddingStatus + CString(pszDriverName));

    // The spooler only reads the texts it is handed.
    DRIVER_INFO_3A info = {};
    info.cVersion =
        GetWindowsVersionCode() == kVersionCodeWindowsNt ? kWindowsNtDriverVersion : kDriverVersion;
    info.pName = const_cast<LPSTR>(pszDriverName);
    info.pEnvironment = szEnvironment;
    info.pDriverPath = paths.szDriverPath;
    info.pDataFile = paths.szDataFile;
    info.pConfigFile = paths.szConfigFile;
    info.pHelpFile = paths.szHelpFile;
    info.pDependentFiles = paths.dependentFiles;
    info.pMonitorName = const_cast<LPSTR>("");
    info.pDefaultDataType = const_cast<LPSTR>(kRawDatatype);
    StartOrRestartService(kSpoolerService, SVC_ENSURE_RUNNING);
    const BOOL bAdded = api.AddPrinterDriverExA(
        nullptr, kDriverInfoLevel, reinterpret_cast<LPBYTE>(&info), APD_COPY_NEW_FILES);
    const DWORD dwError = api.GetLastError();
    if (bAdded != TRUE) {
        ReportReceiptDriverFailure(dwError);
        return;
    }
    ShowStatus(kAddedStatusHead + CString(pszDriverName) + kAddedStatusTail);
    for (int i = 0; i < kStagedFileCount; ++i) {
        if (i != kStagedPluginDll && i != kStagedPluginIni)
            api.DeleteFileA(paths.szStaged[i]);
    }
    m_progress.SetPos(kProgressRegistered);

    CreatePrinterAndFinish(pszDriverName, strPrinterName, kPrinterPauseMs);
}

void CInstallerDlg::ReportReceiptDriverFailure(DWORD dwError) {
    CString strText;
    strText.Format(kFailureText, static_cast<int>(dwError));
    // Only Cancel gives up; a box that could not be shown leaves Install usable.
    if (Platform().MessageBoxA(m_hWnd, strText, kFailureCaption, MB_RETRYCANCEL) == IDCANCEL) {
        CDialog::OnOK();
        return;
    }
    m_btnInstall.SetWindowText(kReinstallCaption);
    m_btnInstall.EnableWindow(TRUE);
    m_progress.SetPos(kProgressFailed);
}
