// The main dialog's start-up on what breaks naive code: the package
// unpacked into folders of its own while a user's own stand aside, links at
// and below them, failures on the way, the catalogue's sections and names,
// the Windows version; then the dialog as the user meets it: start-up
// naming the system, the Install button's decisions, and closing it while
// start-up is still at work.
#include "install/package_layout.h"
#include "res/resource.h"
#include "res/texts.h"
#include "shell/driver_catalogue.h"
#include "shell/installer_dlg.h"
#include "shell/package_unpack.h"
#include "shell/system_identification.h"
#include "support/dialog_runner.h"
#include "support/fakes.h"
#include "support/platform_scope.h"
#include "support/system_width.h"

#include <gtest/gtest.h>
#include <sevenzip.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <process.h>
#include <string>
#include <utility>
#include <vector>

namespace {

using Texts = std::vector<std::string>;
const char kUniDrv[] = "C:\\Ticket\\x86\\uniDRV.DLL";

// The archive library's unpack in place of its own: it writes the catalogue
// text and returns nResult once. The library's other functions stay its own.
struct ArchiveFake {
    static inline std::string catalogue;
    static inline int nResult = 0;

    static int WINAPI SevenZip(HWND, LPCSTR, LPSTR, DWORD) {
        WriteTextFile(kCatalogueFile, catalogue);
        return std::exchange(nResult, 0);
    }
    static FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR pszName) {
        return std::string(pszName) == "SevenZip"
                   ? reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(SevenZip))
                   : ::GetProcAddress(hModule, pszName);
    }
};

// The archive library asked for, as if it were missing.
std::string g_library;
HMODULE WINAPI NoLibrary(LPCSTR pszPath) {
    g_library = pszPath;
    return nullptr;
}

// Runs a shell line in drive C, where Wine shows a Unix symbolic link as a
// reparse point. Wine gives no end of a Unix process, so the line's last
// path is waited for to come or to go.
void OnDriveC(const std::string &line, bool bComes) {
    const std::string command = "Z:\\bin\\sh -c \"cd " + std::string(std::getenv("WINEPREFIX")) +
                                "/drive_c && " + line + "\"";
    ASSERT_GT(::WinExec(command.c_str(), SW_HIDE), 31u);
    const std::string last = "C:\\" + line.substr(line.rfind(' ') + 1);
    EXPECT_TRUE(WaitFor([&] { return FileExists(last) == bComes; })) << line;
}

using PackageUnpackTest = PlatformTest;

// The real archive library beside the test program unpacks the package; a
// link at a destination is left alone, and links planted below one, to a
// user's folder or in loops, never lead the clean-up to what they point to.
// Whatever fails, nothing unpacked stays, the status says what stood in the
// way, and the user's folder is back.
TEST_F(PackageUnpackTest, UnpacksIntoFoldersOfItsOwnOrUndoesItAllAndSaysWhy) {
    const struct {
        void (*arrange)(PlatformApi &);
        const char *pszLinksAfter;
        std::string status;
    } cases[] = {
        {[](PlatformApi &) {}, "ln -s ../../linked Ticket/x86/l && ln -s .. Ticket/x86/loop", ""},
        {[](PlatformApi &api) {
             api.GetProcAddress = ArchiveFake::GetProcAddress;
             ArchiveFake::nResult = SEVENZIP_ERROR_DATA;
             ArchiveFake::catalogue = "[S]\r\nPrintName1=M\r\n";
         },
         nullptr,
         "The driver package could not be unpacked (error 5). What was unpacked has been removed."},
        {[](PlatformApi &api) { api.LoadLibraryA = NoLibrary; }, nullptr,
         "The driver package could not be read."},
        {[](PlatformApi &) { OnDriveC("ln -s linked DriverName.cfg", true); }, nullptr,
         "C:\\DriverName.cfg is in the way and could not be set aside: it is a link, and this "
         "system would move what it points to. The driver package was not unpacked."},
    };
    OnDriveC("mkdir Barcode linked && echo user > Barcode/own && echo link > linked/own", true);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.status);
        c.arrange(api());
        CArchiveExtractor extractor;
        CPackageStaging staging;
        const StepResult result = UnpackPackage(extractor, staging);
        EXPECT_EQ(result.Succeeded() ? "" : std::string(DescribeUnpackFailure(result, staging)),
                  c.status);
        for (const char *pszPath : {kUniDrv, kCatalogueFile})
            EXPECT_EQ(ReadTextFile(pszPath).empty(), !c.status.empty()) << pszPath;
        if (c.pszLinksAfter != nullptr)
            OnDriveC(c.pszLinksAfter, true);
        staging.CleanUpAndPutBack();
        EXPECT_EQ((Texts{ReadTextFile("C:\\Barcode\\own"), ReadTextFile("C:\\linked\\own"),
                         ReadTextFile(kCatalogueFile), ReadTextFile(kUniDrv)}),
                  (Texts{"user\n", "link\n", "", ""}));
        // Wine cannot remove a link as a link, so links keep their folder.
        if (c.pszLinksAfter != nullptr)
            OnDriveC("rm -rf Ticket", false);
        Platform() = PlatformApi();
    }
    OnDriveC("rm -rf DriverName.cfg Barcode linked", false);
    // Looked for beside the program alone, never along the search path.
    char szFolder[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, szFolder);
    EXPECT_EQ(g_library, std::string(szFolder) + "\\" SEVENZIP_DLL_NAME);
}

// A section without names still takes an index; a gap, an empty value or
// the fiftieth name ends a section; a long name is cut, a long section name
// read whole. The last section that holds a name wins; a name of none, or
// one that differs in letter case only, keeps the selection.
TEST(CatalogueTest, SectionsInFileOrderEndAtTheirFirstMissingNameOrAfterFiftyAndNamesMatchExactly) {
    const std::string longName(200, 'x');
    std::string text =
        "[One]\r\nPrintName1=Alpha\r\nPrintName2=Beta\r\nPrintName4=Four\r\n"
        "[Empty]\r\nOther=x\r\n[" +
        std::string(150, 's') + "]\r\nPrintName1=" + longName +
        "\r\nPrintName2=\r\nPrintName3=Six\r\n[Last]\r\nPrintName1=Alpha\r\n[Many]\r\n";
    std::vector<std::pair<int, std::string>> expected = {
        {0, "Alpha"}, {0, "Beta"}, {2, longName.substr(0, 127)}, {3, "Alpha"}};
    for (int k = 1; k <= 51; ++k) {
        text += "PrintName" + std::to_string(k) + "=M" + std::to_string(k) + "\r\n";
        if (k <= 50)
            expected.push_back({4, "M" + std::to_string(k)});
    }
    WriteTextFile(kCatalogueFile, text);
    const std::vector<CatalogueEntry> entries = ReadCatalogue();
    EXPECT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < std::min(entries.size(), expected.size()); ++i) {
        EXPECT_EQ(entries[i].nIndex, expected[i].first) << i;
        EXPECT_EQ(std::string(entries[i].strName), expected[i].second) << i;
    }
    EXPECT_EQ(ResolveCatalogueIndex(entries, 7, "Alpha"), 3);
    for (const char *pszOther : {"Four", "ALPHA"})
        EXPECT_EQ(ResolveCatalogueIndex(entries, 7, pszOther), 7);
    ::DeleteFileA(kCatalogueFile);
}

// Answers the version query as a system of the row's numbers would, the
// basic record only as far as it reaches, once the first nFailing queries failed.
struct VersionFake {
    static inline const int *pRow;
    static inline size_t nFailing = 0;
    static inline std::vector<DWORD> sizesAsked;

    static BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA pInfo) {
        sizesAsked.push_back(pInfo->dwOSVersionInfoSize);
        if (sizesAsked.size() <= nFailing)
            return FALSE;
        pInfo->dwPlatformId = pRow[0];
        pInfo->dwMajorVersion = pRow[1];
        pInfo->dwMinorVersion = pRow[2];
        return TRUE;
    }
};

using SystemIdentificationTest = PlatformTest;

// The boundaries of each family's version numbers; the basic record is
// asked only after the extended one failed, and nothing after both.
TEST_F(SystemIdentificationTest, EveryReportedVersionGetsItsCodeFromTheExtendedOrTheBasicRecord) {
    api().GetVersionExA = VersionFake::GetVersionExA;
    const int k9x = VER_PLATFORM_WIN32_WINDOWS, kNt = VER_PLATFORM_WIN32_NT;
    // Platform, major and minor version, code.
    const int rows[][4] = {
        {k9x, 4, 0, 1},  {k9x, 4, 10, 2},  {k9x, 4, 90, 3},  {k9x, 4, 91, -1},
        {k9x, 5, 0, -1}, {kNt, 4, 99, 4},  {kNt, 5, 0, 5},   {kNt, 5, 2, 7},
        {kNt, 5, 3, -1}, {kNt, 6, 0, 8},   {kNt, 6, 3, 11},  {kNt, 6, 4, -1},
        {kNt, 7, 0, -1}, {kNt, 10, 5, 12}, {kNt, 11, 0, -1}, {0, 6, 1, 5},
    };
    for (const auto &row : rows) {
        VersionFake::pRow = row;
        EXPECT_EQ(QueryWindowsVersionCode(), row[3]) << row[0] << ": " << row[1] << "." << row[2];
    }
    VersionFake::sizesAsked.clear();
    VersionFake::nFailing = 1;
    EXPECT_EQ(QueryWindowsVersionCode(), 5);
    VersionFake::nFailing = 4;
    EXPECT_EQ(QueryWindowsVersionCode(), -1);
    EXPECT_EQ(VersionFake::sizesAsked, (std::vector<DWORD>{156, 148, 156, 148}));
}

// Each installation asked for: its catalogue index and port kind.
class RecordingDlg : public CInstallerDlg {
public:
    std::vector<int> m_models;
    std::vector<PortKind> m_kinds;
    InstallResult Install(const InstallRequest &request) override {
        m_models.push_back(request.nModelIndex);
        m_kinds.push_back(request.kind);
        return {InstallOutcome::kReady, false, CString()};
    }
};

// Start-up's first step, the spooler check, waits until the test lets it go
// and then finds no service manager.
struct HeldServiceManager {
    static inline const HANDLE hRelease = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    static SC_HANDLE WINAPI Open(LPCSTR, LPCSTR, DWORD) {
        ::WaitForSingleObject(hRelease, INFINITE);
        return nullptr;
    }
};

std::string SystemStatus(const std::string &windows) {
    return "Current System is Microsoft Windows " + windows + "  " +
           (SystemIs64Bit() ? "64" : "32") + " bit";
}

class InstallerDlgTest : public PlatformTest {
protected:
    // The package beside the test program unpacks into a catalogue of 40 models.
    void SetUp() override {
        ArchiveFake::catalogue.clear();
        for (int i = 0; i < 40; ++i)
            ArchiveFake::catalogue +=
                "[S" + std::to_string(i) + "]\r\nPrintName1=Model " + std::to_string(i) + "\r\n";
        api().GetProcAddress = ArchiveFake::GetProcAddress;
        ::ResetEvent(HeldServiceManager::hRelease);
        api().OpenSCManagerA = HeldServiceManager::Open;
        api().EnumPortsA = PortsFake::EnumPortsA;
        PortsFake::ports = {{"USB003", ""}};
        BoxFake::Install(api());
    }
};

// Start-up names the system and the first model; Install then takes the
// first port of the kind the enumeration preselected or the user chose, and
// runs nothing for no entry or one past the driver tables.
TEST_F(InstallerDlgTest, StartUpNamesTheSystemAndInstallRunsOnlyForAModelOfTheTables) {
    ::SetEvent(HeldServiceManager::hRelease);
    RecordingDlg dlg;
    DialogRunner runner(dlg);
    ASSERT_TRUE(runner.WaitEnabled(IDC_INSTALL));
    EXPECT_EQ(runner.Text(IDC_STATUS), SystemStatus("7"));
    EXPECT_EQ(runner.Text(IDC_PRINTER_NAME), "Model 0");
    // The port kind row chosen, or -1.
    const std::pair<const char *, int> presses[] = {
        {"Model 38", -1}, {"", -1}, {"Model 32", -1}, {"Model 33", 3}};
    for (const auto &[pszModel, nKindRow] : presses) {
        runner.SelectEntry(IDC_DRIVER_LIST, pszModel);
        if (nKindRow >= 0)
            runner.SelectRow(runner.Item(IDC_PORT_KIND_LIST), nKindRow);
        runner.Press(IDC_INSTALL);
    }
    EXPECT_EQ(dlg.m_models, (std::vector<int>{32, 33}));
    EXPECT_EQ(dlg.m_kinds, (std::vector<PortKind>{kPortKindUsb, kPortKindTcpip}));
    EXPECT_EQ(BoxFake::Texts(), (Texts{kStatusUnknown, kNoDriverSelected, kNoDriverSelected}));
}

// A close while start-up is at work waits for the worker's step.
TEST_F(InstallerDlgTest, ClosingDuringStartupWaitsForTheWorkerAndEndsCleanly) {
    RecordingDlg dlg;
    DialogRunner runner(dlg);
    runner.Close();
    ::Sleep(200);
    EXPECT_TRUE(runner.Open());
    ::SetEvent(HeldServiceManager::hRelease);
    EXPECT_EQ(runner.Join(), IDCANCEL);
}

// Older Windows as Wine reports each, the seam answering "not there" for
// what that Windows lacks; 95 to Me make no thread for a caller that takes
// no thread id. Each runs in a process of its own, this program started
// again, as Wine gives a process its version when it starts.
template <class... Fn> void Lacks(Fn &...pfn) {
    ((pfn = Missing<Fn>::Call), ...);
}
HANDLE WINAPI ThreadWithId(LPSECURITY_ATTRIBUTES pAttributes, SIZE_T cbStack,
                           LPTHREAD_START_ROUTINE pfnStart, LPVOID pParameter, DWORD dwFlags,
                           LPDWORD pdwThreadId) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return pdwThreadId
               ? ::CreateThread(pAttributes, cbStack, pfnStart, pParameter, dwFlags, pdwThreadId)
               : nullptr;
}
// Of what the dialog calls: the program's entry, which looks up the DLL
// search calls and the common controls, does not run here.
void LackUpTo(PlatformApi &api, int nAge) {
    if (nAge > 0)
        Lacks(api.AddPrinterDriverExA);
    if (nAge > 1) {
        Lacks(api.OpenSCManagerA, api.OpenServiceA, api.QueryServiceStatus, api.StartServiceA,
              api.ControlService, api.CloseServiceHandle, api.OpenProcessToken,
              api.LookupPrivilegeValueA, api.AdjustTokenPrivileges);
        api.CreateThread = ThreadWithId;
    }
}

// The receipt printer takes the name typed; a label printer its model's, and
// its driver brings the language monitor, which the spooler must load.
const char kReceipt[] = "Receipt Model A04", kLabel[] = "Label Model L02";
const char kOlderPrinter[] = "Older Windows";
const std::string kOnCom1 = std::string(kReceipt) + " WinPrint RAW COM1:";
const std::string kDriverFailure(Formatted(kReceiptFailureText, ERROR_PROC_NOT_FOUND));
const struct OlderWindows {
    const char *pszWine, *pszName;
    int nAge; // what it lacks, LackUpTo
    const char *pszModel, *pszPrinter;
    Texts boxes;
    std::string printer;
} kOlderWindows[] = {
    {"winxp", "XP", 0, kReceipt, kOlderPrinter, {}, kOnCom1},
    {"win2k",
     "2000",
     0,
     kLabel,
     kLabel,
     {},
     std::string(kLabel) + " WinPrint RAW COM1: Advanced Language Monitor"},
    {"nt40", "NT", 1, kReceipt, kOlderPrinter, {kDriverFailure}, ""},
    {"win98",
     "98",
     2,
     kReceipt,
     kOlderPrinter,
     {kStatusUnknown, kStatusUnknown, kDriverFailure},
     ""},
    {"winxp64", "2003", 0, kReceipt, kOlderPrinter, {}, kOnCom1},
};

using OlderWindowsTest = PlatformTest;

TEST_F(OlderWindowsTest, StartsUnpacksListsAndInstallsAsFarAsItsSpoolerCan) {
    const char *pszRow = std::getenv("OLDER_WINDOWS");
    if (pszRow == nullptr) {
        char szSelf[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, szSelf, MAX_PATH);
        const std::string key =
            "Software\\Wine\\AppDefaults\\" + std::string(std::strrchr(szSelf, '\\') + 1);
        // The 64-bit program starts on 64-bit Windows alone, the last row.
        for (size_t i = sizeof(void *) == 8 ? 4 : 0; i < (sizeof(void *) == 8 ? 5 : 4); ++i) {
            WriteRegistryString(HKEY_CURRENT_USER, key, "Version", kOlderWindows[i].pszWine);
            _putenv(("OLDER_WINDOWS=" + std::to_string(i)).c_str());
            EXPECT_EQ(_spawnl(_P_WAIT, szSelf, szSelf, "--gtest_filter=OlderWindows*", nullptr), 0)
                << kOlderWindows[i].pszWine;
        }
        _putenv("OLDER_WINDOWS=");
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, key.c_str(), "Version");
        return;
    }
    const OlderWindows &row = kOlderWindows[std::atoi(pszRow)];
    LackUpTo(api(), row.nAge);
    BoxFake::Install(api());
    CInstallerDlg dlg;
    DialogRunner runner(dlg);
    ASSERT_TRUE(runner.WaitEnabled(IDC_INSTALL));
    EXPECT_EQ(runner.Text(IDC_STATUS), SystemStatus(row.pszName));
    EXPECT_EQ(::SendMessageA(runner.Item(IDC_DRIVER_LIST), CB_GETCOUNT, 0, 0), 44);
    runner.SelectEntry(IDC_DRIVER_LIST, row.pszModel);
    runner.SetText(IDC_PRINTER_NAME, kOlderPrinter);
    runner.Press(IDC_INSTALL);
    EXPECT_EQ(BoxFake::Texts(), row.boxes);
    EXPECT_EQ(Printer(row.pszPrinter), row.printer);
    HANDLE hPrinter = nullptr;
    if (::OpenPrinterA(const_cast<LPSTR>(row.pszPrinter), &hPrinter, nullptr)) {
        ::DeletePrinter(hPrinter);
        ::ClosePrinter(hPrinter);
    }
    runner.Close();
    runner.Join();
    EXPECT_FALSE(FileExists("C:\\Ticket") || FileExists(kCatalogueFile));
}

} // namespace
