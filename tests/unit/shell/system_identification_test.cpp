// The Windows version code for every version the system may report, the
// WOW64 query, and the status line that names the system.
#include "shell/system_identification.h"
#include "support/fakes.h"
#include "support/system_width.h"
#include "support/platform_scope.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int CodeFor(DWORD platform, DWORD major, DWORD minor, DWORD build = 0,
            BYTE productType = VER_NT_WORKSTATION) {
    VersionFake::Set(platform, major, minor);
    VersionFake::dwBuild = build;
    VersionFake::nProductType = productType;
    return QueryWindowsVersionCode();
}

// Stands in for the WOW64 query, which only the system's kernel32 offers.
struct FakeWow64 {
    static inline bool bPresent = true;
    static inline BOOL bAnswer = FALSE;
    static inline HANDLE hProcessAsked = nullptr;

    static BOOL WINAPI IsWow64Process(HANDLE hProcess, PBOOL pbWow64) {
        hProcessAsked = hProcess;
        *pbWow64 = bAnswer;
        return TRUE;
    }
    static FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR pszName) {
        if (HIWORD(pszName) != 0 && std::string(pszName) == "IsWow64Process")
            return hModule == ::GetModuleHandleA("kernel32") && bPresent ? AsFarProc(IsWow64Process)
                                                                         : nullptr;
        return ::GetProcAddress(hModule, pszName);
    }
};

class SystemIdentificationTest : public PlatformTest {
protected:
    void SetUp() override {
        api().GetVersionExA = VersionFake::GetVersionExA;
        api().GetProcAddress = FakeWow64::GetProcAddress;
        VersionFake::bExtendedFails = VersionFake::bBasicFails = false;
    }
};

TEST_F(SystemIdentificationTest, EveryReportedVersionGetsItsCode) {
    const DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;
    const DWORD kNt = VER_PLATFORM_WIN32_NT;
    const struct {
        DWORD platform, major, minor;
        int code;
    } rows[] = {
        {k9x, 4, 0, 1},   {k9x, 4, 10, 2},  {k9x, 4, 90, 3},  {k9x, 4, 1, -1},  {k9x, 4, 91, -1},
        {k9x, 3, 0, -1},  {k9x, 5, 0, -1},  {kNt, 0, 0, 4},   {kNt, 3, 51, 4},  {kNt, 4, 0, 4},
        {kNt, 4, 99, 4},  {kNt, 5, 0, 5},   {kNt, 5, 1, 6},   {kNt, 5, 2, 7},   {kNt, 5, 3, -1},
        {kNt, 5, 40, -1}, {kNt, 6, 0, 8},   {kNt, 6, 1, 9},   {kNt, 6, 2, 10},  {kNt, 6, 3, 11},
        {kNt, 6, 4, -1},  {kNt, 6, 10, -1}, {kNt, 7, 0, -1},  {kNt, 8, 1, -1},  {kNt, 9, 0, -1},
        {kNt, 10, 0, 12}, {kNt, 10, 5, 12}, {kNt, 11, 0, -1}, {kNt, 12, 3, -1}, {0, 6, 1, 5},
        {3, 10, 0, 5},    {7, 4, 0, 5},
    };
    for (const auto &row : rows)
        EXPECT_EQ(CodeFor(row.platform, row.major, row.minor), row.code)
            << "platform " << row.platform << ", " << row.major << "." << row.minor;
    // Neither the build nor the edition is looked at.
    for (DWORD dwBuild : {10240UL, 26100UL})
        EXPECT_EQ(CodeFor(kNt, 10, 0, dwBuild), 12) << dwBuild;
    EXPECT_EQ(CodeFor(kNt, 5, 2, 0, VER_NT_SERVER), 7);
    EXPECT_EQ(CodeFor(kNt, 6, 3, 0, VER_NT_SERVER), 11);
}

TEST_F(SystemIdentificationTest, ExtendedRecordFirstThenTheBasicOneThenUnknown) {
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_NT, 6, 1), 9);
    EXPECT_EQ(VersionFake::sizesAsked, (std::vector<DWORD>{156}));
    VersionFake::bExtendedFails = true;
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_WINDOWS, 4, 10), 2);
    EXPECT_EQ(VersionFake::sizesAsked, (std::vector<DWORD>{156, 148}));
    VersionFake::bBasicFails = true;
    EXPECT_EQ(CodeFor(VER_PLATFORM_WIN32_NT, 6, 1), -1);
}

// A 64-bit build runs on 64-bit Windows only: it does not ask.
TEST_F(SystemIdentificationTest, Wow64IsAskedOfKernel32ForThisProcessWhereItExists) {
    constexpr bool kBuild64 = sizeof(void *) == 8;
    FakeWow64::bAnswer = TRUE;
    FakeWow64::bPresent = true;
    EXPECT_TRUE(QueryWow64());
    EXPECT_EQ(FakeWow64::hProcessAsked, kBuild64 ? nullptr : ::GetCurrentProcess());
    FakeWow64::bPresent = false;
    EXPECT_EQ(QueryWow64() != FALSE, kBuild64);
}

TEST(SystemDescriptionTest, StatusNamesTheSystemAndItsBitWidth) {
    EXPECT_EQ(DescribeSystem(6, FALSE), "Current System is Microsoft Windows XP  32 bit");
    EXPECT_EQ(DescribeSystem(11, TRUE), "Current System is Microsoft Windows 8.1  64 bit");
    EXPECT_EQ(DescribeSystem(1, FALSE), "Current System is Microsoft Windows 95  32 bit");
    EXPECT_EQ(DescribeSystem(12, TRUE), "Current System is Microsoft Windows 10  64 bit");
    // An unnamed version still shows the bit width.
    EXPECT_EQ(DescribeSystem(-1, FALSE), "Current System is  32 bit");
    EXPECT_EQ(DescribeSystem(13, TRUE), "Current System is  64 bit");
}

// Wine answers for itself: Windows 7 unless told otherwise, of the prefix's width.
TEST(RealSystemIdentificationTest, WineIsIdentifiedAsWindows7) {
    EXPECT_EQ(QueryWindowsVersionCode(), 9);
    EXPECT_EQ(QueryWow64() != FALSE, SystemIs64Bit());
}

} // namespace
