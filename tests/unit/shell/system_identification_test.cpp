// The Windows version code for every version the system may report, the
// WOW64 query, and the status line that names the system.
#include "shell/system_identification.h"
#include "support/fakes.h"
#include "support/platform_scope.h"
#include "support/system_width.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Kernel32's WOW64 query, answering TRUE for any process, or missing.
struct Wow64Fake {
    static inline HANDLE hAsked = nullptr;
    static BOOL WINAPI IsWow64Process(HANDLE hProcess, PBOOL pbWow64) {
        hAsked = hProcess;
        *pbWow64 = TRUE;
        return TRUE;
    }
    static FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR pszName) {
        return hModule == ::GetModuleHandleA("kernel32") && std::string(pszName) == "IsWow64Process"
                   ? AsFarProc(IsWow64Process)
                   : nullptr;
    }
    static FARPROC WINAPI Missing(HMODULE, LPCSTR) { return nullptr; }
};

using SystemIdentificationTest = PlatformTest;

// Neither the build nor the edition is looked at.
TEST_F(SystemIdentificationTest, EveryReportedVersionGetsItsCodeFromTheExtendedOrTheBasicRecord) {
    api().GetVersionExA = VersionFake::GetVersionExA;
    const int k9x = VER_PLATFORM_WIN32_WINDOWS, kNt = VER_PLATFORM_WIN32_NT;
    // Platform, major and minor version, code.
    const int rows[][4] = {
        {k9x, 4, 0, 1},   {k9x, 4, 10, 2},  {k9x, 4, 90, 3}, {k9x, 4, 1, -1}, {k9x, 4, 91, -1},
        {k9x, 3, 0, -1},  {k9x, 5, 0, -1},  {kNt, 3, 51, 4}, {kNt, 4, 99, 4}, {kNt, 5, 0, 5},
        {kNt, 5, 1, 6},   {kNt, 5, 2, 7},   {kNt, 5, 3, -1}, {kNt, 6, 0, 8},  {kNt, 6, 1, 9},
        {kNt, 6, 2, 10},  {kNt, 6, 3, 11},  {kNt, 6, 4, -1}, {kNt, 7, 0, -1}, {kNt, 9, 0, -1},
        {kNt, 10, 5, 12}, {kNt, 11, 0, -1}, {0, 6, 1, 5},    {3, 10, 0, 5},
    };
    for (const auto &row : rows) {
        VersionFake::Set(row[0], row[1], row[2]);
        VersionFake::dwBuild = 26100;
        VersionFake::nProductType = VER_NT_SERVER;
        EXPECT_EQ(QueryWindowsVersionCode(), row[3]) << row[0] << ": " << row[1] << "." << row[2];
    }
    // The basic record only after the extended one failed; nothing after both.
    VersionFake::Set(k9x, 4, 10);
    EXPECT_EQ(QueryWindowsVersionCode(), 2);
    VersionFake::bExtendedFails = true;
    EXPECT_EQ(QueryWindowsVersionCode(), 2);
    VersionFake::bBasicFails = true;
    EXPECT_EQ(QueryWindowsVersionCode(), -1);
    EXPECT_EQ(VersionFake::sizesAsked, (std::vector<DWORD>{156, 156, 148, 156, 148}));
}

// Wine answers for itself: Windows 7 unless told otherwise, of the prefix's width.
TEST_F(SystemIdentificationTest, StatusNamesTheSystemAndTheBitWidthKernel32Reports) {
    EXPECT_EQ(std::string(DescribeSystem(QueryWindowsVersionCode(), QueryWow64())),
              "Current System is Microsoft Windows 7  " + BitWidthText());
    EXPECT_EQ(DescribeSystem(1, FALSE), "Current System is Microsoft Windows 95  32 bit");
    EXPECT_EQ(DescribeSystem(11, TRUE), "Current System is Microsoft Windows 8.1  64 bit");
    // An unnamed version still shows the bit width.
    EXPECT_EQ(DescribeSystem(-1, FALSE), "Current System is  32 bit");
    EXPECT_EQ(DescribeSystem(13, TRUE), "Current System is  64 bit");
    // A 64-bit build runs on 64-bit Windows only: it does not ask.
    constexpr bool kBuild64 = sizeof(void *) == 8;
    api().GetProcAddress = Wow64Fake::GetProcAddress;
    EXPECT_TRUE(QueryWow64());
    EXPECT_EQ(Wow64Fake::hAsked, kBuild64 ? nullptr : ::GetCurrentProcess());
    api().GetProcAddress = Wow64Fake::Missing;
    EXPECT_EQ(QueryWow64() != FALSE, kBuild64);
}

} // namespace
