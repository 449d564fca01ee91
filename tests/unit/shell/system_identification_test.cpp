// The Windows version code for every version the system may report, and the
// status line that names the system and its bit width.
#include "common/system_width.h"
#include "shell/installer_dlg.h"
#include "support/dialog_runner.h"
#include "support/platform_scope.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class IdentifyingDlg : public CInstallerDlg {
public:
    using CInstallerDlg::IdentifySystem;
    using CInstallerDlg::m_bWow64;
    using CInstallerDlg::m_strStatus;
};

// Answers the version query as a system of the given numbers would, the
// basic record only as far as it reaches.
struct FakeVersion {
    static DWORD dwPlatformId;
    static DWORD dwMajor;
    static DWORD dwMinor;
    static DWORD dwBuild;
    static BYTE nProductType;
    static bool bExtendedFails;
    static bool bBasicFails;
    static std::vector<DWORD> sizesAsked;

    static BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA pInfo) {
        sizesAsked.push_back(pInfo->dwOSVersionInfoSize);
        const bool bExtended = pInfo->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXA);
        if ((bExtended && bExtendedFails) || (!bExtended && bBasicFails) ||
            (!bExtended && pInfo->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)))
            return FALSE;
        pInfo->dwPlatformId = dwPlatformId;
        pInfo->dwMajorVersion = dwMajor;
        pInfo->dwMinorVersion = dwMinor;
        pInfo->dwBuildNumber = dwBuild;
        if (bExtended)
            reinterpret_cast<OSVERSIONINFOEXA *>(pInfo)->wProductType = nProductType;
        return TRUE;
    }

    static void Set(DWORD platform, DWORD major, DWORD minor) {
        dwPlatformId = platform;
        dwMajor = major;
        dwMinor = minor;
        dwBuild = 0;
        nProductType = VER_NT_WORKSTATION;
        bExtendedFails = false;
        bBasicFails = false;
        sizesAsked.clear();
    }
};
DWORD FakeVersion::dwPlatformId = 0;
DWORD FakeVersion::dwMajor = 0;
DWORD FakeVersion::dwMinor = 0;
DWORD FakeVersion::dwBuild = 0;
BYTE FakeVersion::nProductType = 0;
bool FakeVersion::bExtendedFails = false;
bool FakeVersion::bBasicFails = false;
std::vector<DWORD> FakeVersion::sizesAsked;

// Stands in for the WOW64 query, which only the system's kernel32 offers.
struct FakeWow64 {
    static bool bPresent;
    static BOOL bAnswer;
    static std::string moduleAsked;
    static HANDLE hProcessAsked;

    static HMODULE WINAPI GetModuleHandleA(LPCSTR pszModule) {
        moduleAsked = pszModule ? pszModule : "";
        return ::GetModuleHandleA(pszModule);
    }
    static BOOL WINAPI IsWow64Process(HANDLE hProcess, PBOOL pbWow64) {
        hProcessAsked = hProcess;
        *pbWow64 = bAnswer;
        return TRUE;
    }
    static FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR pszName) {
        if (HIWORD(pszName) != 0 && std::string(pszName) == "IsWow64Process") {
            if (hModule != ::GetModuleHandleA("kernel32") || !bPresent)
                return nullptr;
            return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(IsWow64Process));
        }
        return ::GetProcAddress(hModule, pszName);
    }
};
bool FakeWow64::bPresent = true;
BOOL FakeWow64::bAnswer = FALSE;
std::string FakeWow64::moduleAsked;
HANDLE FakeWow64::hProcessAsked = nullptr;

int WINAPI AnswerOk(HWND, LPCSTR, LPCSTR, UINT) {
    return IDOK;
}

class SystemIdentificationTest : public PlatformTest {
protected:
    void SetUp() override {
        api().GetVersionExA = FakeVersion::GetVersionExA;
        api().GetModuleHandleA = FakeWow64::GetModuleHandleA;
        api().GetProcAddress = FakeWow64::GetProcAddress;
        FakeWow64::bPresent = true;
        FakeWow64::bAnswer = FALSE;
        FakeWow64::moduleAsked.clear();
        FakeWow64::hProcessAsked = nullptr;
    }

    static int CodeFor(DWORD platform, DWORD major, DWORD minor) {
        FakeVersion::Set(platform, major, minor);
        IdentifyingDlg dlg;
        return dlg.GetWindowsVersionCode();
    }

    static std::string StatusFor(DWORD platform, DWORD major, DWORD minor, BOOL bWow64) {
        FakeVersion::Set(platform, major, minor);
        FakeWow64::bAnswer = bWow64;
        IdentifyingDlg dlg;
        dlg.IdentifySystem();
        return std::string(dlg.m_strStatus);
    }
};

struct VersionRow {
    DWORD platform;
    DWORD major;
    DWORD minor;
    int code;
};

TEST_F(SystemIdentificationTest, EveryReportedVersionGetsItsCode) {
    const DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;
    const DWORD kNt = VER_PLATFORM_WIN32_NT;
    const VersionRow rows[] = {
        {k9x, 4, 0, 1},   {k9x, 4, 10, 2},  {k9x, 4, 90, 3},  {k9x, 4, 1, -1},  {k9x, 4, 91, -1},
        {k9x, 3, 0, -1},  {k9x, 5, 0, -1},  {kNt, 0, 0, 4},   {kNt, 3, 51, 4},  {kNt, 4, 0, 4},
        {kNt, 4, 99, 4},  {kNt, 5, 0, 5},   {kNt, 5, 1, 6},   {kNt, 5, 2, 7},   {kNt, 5, 3, -1},
        {kNt, 5, 40, -1}, {kNt, 6, 0, 8},   {kNt, 6, 1, 9},   {kNt, 6, 2, 10},  {kNt, 6, 3, 11},
        {kNt, 6, 4, -1},  {kNt, 6, 10, -1}, {kNt, 7, 0, -1},  {kNt, 8, 1, -1},  {kNt, 9, 0, -1},
        {kNt, 10, 0, 12}, {kNt, 10, 5, 12}, {kNt, 11, 0, -1}, {kNt, 12, 3, -1}, {0, 6, 1, 5},
        {3, 10, 0, 5},    {7, 4, 0, 5},
    };
    for (const VersionRow &row : rows)
        EXPECT_EQ(CodeFor(row.platform, row.major, row.minor), row.code)
            << "platform " << row.platform << ", " << row.major << "." << row.minor;
}

TEST_F(SystemIdentificationTest, BuildAndEditionAreNotLookedAt) {
    for (DWORD dwBuild : {10240UL, 19045UL, 22631UL, 26100UL}) {
        FakeVersion::Set(VER_PLATFORM_WIN32_NT, 10, 0);
        FakeVersion::dwBuild = dwBuild;
        IdentifyingDlg dlg;
        EXPECT_EQ(dlg.GetWindowsVersionCode(), 12) << dwBuild;
    }
    const VersionRow servers[] = {{2, 5, 2, 7}, {2, 6, 0, 8}, {2, 6, 1, 9}, {2, 6, 3, 11}};
    for (const VersionRow &row : servers) {
        FakeVersion::Set(row.platform, row.major, row.minor);
        FakeVersion::nProductType = VER_NT_SERVER;
        IdentifyingDlg dlg;
        EXPECT_EQ(dlg.GetWindowsVersionCode(), row.code) << row.major << "." << row.minor;
    }
}

TEST_F(SystemIdentificationTest, ExtendedRecordFirstThenTheBasicOne) {
    FakeVersion::Set(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    FakeVersion::bExtendedFails = true;
    IdentifyingDlg dlg;
    EXPECT_EQ(dlg.GetWindowsVersionCode(), 2);
    EXPECT_EQ(FakeVersion::sizesAsked, (std::vector<DWORD>{156, 148}));

    FakeVersion::Set(VER_PLATFORM_WIN32_NT, 6, 1);
    EXPECT_EQ(dlg.GetWindowsVersionCode(), 9);
    EXPECT_EQ(FakeVersion::sizesAsked, (std::vector<DWORD>{156}));
}

TEST_F(SystemIdentificationTest, BothQueriesFailingIsAnUnknownVersion) {
    FakeVersion::Set(VER_PLATFORM_WIN32_NT, 6, 1);
    FakeVersion::bExtendedFails = true;
    FakeVersion::bBasicFails = true;
    IdentifyingDlg dlg;
    EXPECT_EQ(dlg.GetWindowsVersionCode(), -1);
    EXPECT_EQ(FakeVersion::sizesAsked.size(), 2u);
}

// A 64-bit build runs on 64-bit Windows only: it names that width whatever
// the WOW64 query would say, and does not ask.
constexpr bool kBuild64 = sizeof(void *) == 8;
const char *const kWow64Bits = kBuild64 ? "64 bit" : "32 bit";

TEST_F(SystemIdentificationTest, StatusNamesTheSystemAndItsBitWidth) {
    const DWORD kNt = VER_PLATFORM_WIN32_NT;
    EXPECT_EQ(StatusFor(kNt, 5, 1, FALSE),
              "Current System is Microsoft Windows XP  " + std::string(kWow64Bits));
    EXPECT_EQ(StatusFor(kNt, 10, 0, TRUE), "Current System is Microsoft Windows 10  64 bit");
    EXPECT_EQ(StatusFor(kNt, 6, 3, TRUE), "Current System is Microsoft Windows 8.1  64 bit");
    EXPECT_EQ(StatusFor(1, 4, 90, FALSE),
              "Current System is Microsoft Windows Me  " + std::string(kWow64Bits));
    EXPECT_EQ(StatusFor(3, 1, 0, FALSE),
              "Current System is Microsoft Windows 2000  " + std::string(kWow64Bits));
}

TEST_F(SystemIdentificationTest, UnnamedVersionStillShowsTheBitWidth) {
    EXPECT_EQ(StatusFor(VER_PLATFORM_WIN32_NT, 6, 4, FALSE),
              "Current System is  " + std::string(kWow64Bits));
    EXPECT_EQ(StatusFor(VER_PLATFORM_WIN32_NT, 11, 0, TRUE), "Current System is  64 bit");
    FakeWow64::bAnswer = FALSE;
    FakeVersion::bExtendedFails = true;
    FakeVersion::bBasicFails = true;
    IdentifyingDlg dlg;
    dlg.IdentifySystem();
    EXPECT_EQ(std::string(dlg.m_strStatus), "Current System is  " + std::string(kWow64Bits));
}

TEST_F(SystemIdentificationTest, Wow64IsAskedOfKernel32ForThisProcessIn32BitBuildsOnly) {
    FakeVersion::Set(VER_PLATFORM_WIN32_NT, 6, 1);
    FakeWow64::bAnswer = TRUE;
    IdentifyingDlg dlg;
    dlg.IdentifySystem();
    EXPECT_TRUE(dlg.m_bWow64);
    EXPECT_EQ(FakeWow64::moduleAsked, kBuild64 ? "" : "kernel32");
    EXPECT_EQ(FakeWow64::hProcessAsked, kBuild64 ? nullptr : ::GetCurrentProcess());
}

TEST_F(SystemIdentificationTest, SystemWithoutWow64CountsAs32BitIn32BitBuilds) {
    FakeVersion::Set(VER_PLATFORM_WIN32_NT, 5, 0);
    FakeWow64::bPresent = false;
    FakeWow64::bAnswer = TRUE;
    IdentifyingDlg dlg;
    dlg.IdentifySystem();
    EXPECT_EQ(dlg.m_bWow64, kBuild64);
    EXPECT_EQ(std::string(dlg.m_strStatus),
              "Current System is Microsoft Windows 2000  " + std::string(kWow64Bits));
}

TEST_F(SystemIdentificationTest, StartupShowsTheSystemInTheStatusLine) {
    FakeVersion::Set(VER_PLATFORM_WIN32_NT, 6, 2);
    FakeWow64::bAnswer = TRUE;
    api().MessageBoxA = AnswerOk;
    IdentifyingDlg dlg;
    DialogRunner runner(dlg);
    ASSERT_TRUE(DialogRunner::WaitFor([&] { return runner.Enabled(1012); }));
    EXPECT_EQ(runner.Text(1011), "Current System is Microsoft Windows 8  64 bit");
}

// Wine answers for itself: Windows 7 unless told otherwise, of the prefix's width.
TEST(RealSystemIdentificationTest, WineIsIdentifiedAsWindows7OfItsWidth) {
    IdentifyingDlg dlg;
    dlg.IdentifySystem();
    EXPECT_EQ(dlg.GetWindowsVersionCode(), 9);
    EXPECT_EQ(dlg.m_bWow64 != FALSE, SystemIs64Bit());
    EXPECT_EQ(std::string(dlg.m_strStatus),
              "Current System is Microsoft Windows 7  " + BitWidthText());
}

} // namespace
