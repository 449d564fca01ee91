// The dialog's start-up steps on what breaks naive code: the package unpacked
// into folders of its own while a user's own stand aside, failures on the way,
// the archive library with parts missing, the catalogue's sections and names,
// the Windows version and width, and the status line that names them.
#include "install/package_layout.h"
#include "shell/driver_catalogue.h"
#include "shell/package_unpack.h"
#include "shell/system_identification.h"
#include "support/fakes.h"
#include "support/platform_scope.h"
#include "support/system_width.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <sevenzip.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kProtectedSddl = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA); ";

// What the steps look up at run time, in the archive library and in
// kernel32, and the library's release, recorded in the order called.
struct Recorded : ArchiveFake {
    // This process, and no other, runs on 64-bit Windows.
    static BOOL WINAPI IsWow64Process(HANDLE hProcess, PBOOL pbWow64) {
        *pbWow64 = hProcess == ::GetCurrentProcess();
        return Note("IsWow64Process");
    }
    static FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR pszName) {
        if (hModule != ::GetModuleHandleA("kernel32"))
            return ArchiveFake::GetProcAddress(hModule, pszName);
        return pszName == missing || std::string(pszName) != "IsWow64Process"
                   ? nullptr
                   : AsFarProc(IsWow64Process);
    }
    static HMODULE WINAPI NoLibrary(LPCSTR pszPath) {
        Note(std::string("LoadLibrary ") + pszPath);
        return nullptr;
    }
    // The descriptor each folder is made with, read back.
    static BOOL WINAPI CreateDirectoryA(LPCSTR pszPath, LPSECURITY_ATTRIBUTES pAttributes) {
        LPSTR pszSddl = nullptr;
        ::ConvertSecurityDescriptorToStringSecurityDescriptorA(
            pAttributes->lpSecurityDescriptor, SDDL_REVISION_1,
            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &pszSddl, nullptr);
        Note(pszSddl);
        ::LocalFree(pszSddl);
        return ::CreateDirectoryA(pszPath, pAttributes);
    }
    static BOOL WINAPI RefuseBarcode(LPCSTR pszFrom, LPCSTR pszTo) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return std::string(pszFrom) != kLabelTree && ::MoveFileA(pszFrom, pszTo);
    }
    // As if something took the name between the setting aside and the making.
    static BOOL WINAPI RaceForBarcode(LPCSTR pszPath, LPSECURITY_ATTRIBUTES pAttributes) {
        ::SetLastError(ERROR_ALREADY_EXISTS);
        return std::string(pszPath) != kLabelTree && ::CreateDirectoryA(pszPath, pAttributes);
    }
    static DWORD WINAPI OverlongDirectory(DWORD, LPSTR) { return 300; }
};

// The test program lives beside DriverData.Drv and the archive library.
class PackageUnpackTest : public PlatformTest {
protected:
    void SetUp() override {
        ::GetModuleFileNameA(nullptr, m_szFolder, MAX_PATH);
        *std::strrchr(m_szFolder, '\\') = '\0';
        ::SetCurrentDirectoryA(m_szFolder);
    }

    char m_szFolder[MAX_PATH] = {};
};

// The package goes into folders made anew for the administrators alone, with
// the user's own set aside meanwhile; whatever fails, nothing of it stays,
// the status says what stood in the way, and the user's folder is back.
TEST_F(PackageUnpackTest, UnpacksIntoFoldersOfItsOwnOrUndoesItAllAndSaysWhy) {
    const struct {
        void (*arrange)(PlatformApi &);
        std::string status;
    } cases[] = {
        {[](PlatformApi &) {}, ""},
        {[](PlatformApi &api) { api.MoveFileA = Recorded::RefuseBarcode; },
         "C:\\Barcode is in the way and could not be set aside (access is denied). The driver "
         "package was not unpacked."},
        {[](PlatformApi &api) { api.CreateDirectoryA = Recorded::RaceForBarcode; },
         "C:\\Barcode could not be made (something else appeared there). The driver package was "
         "not unpacked."},
        {[](PlatformApi &api) {
             api.GetProcAddress = Recorded::GetProcAddress;
             Recorded::nResult = SEVENZIP_ERROR_DATA;
         },
         "The driver package could not be unpacked (error 5). What was unpacked has been removed."},
    };
    ::CreateDirectoryA(kLabelTree, nullptr);
    WriteTextFile("C:\\Barcode\\notes.txt", "notes");
    for (const auto &c : cases) {
        const PlatformApi saved = Platform();
        api().CreateDirectoryA = Recorded::CreateDirectoryA;
        Recorded::calls.clear();
        c.arrange(api());
        CArchiveExtractor extractor;
        CPackageStaging staging;
        EXPECT_EQ(std::string(UnpackPackage(extractor, staging)), c.status);
        EXPECT_EQ(FileExists("C:\\Ticket\\x86\\uniDRV.DLL"), c.status.empty()) << c.status;
        EXPECT_EQ(FileExists("C:\\Barcode (set aside 1)\\notes.txt"), c.status.empty());
        if (c.status.empty()) {
            EXPECT_EQ(Recorded::calls, kProtectedSddl + kProtectedSddl);
        }
        staging.CleanUpAndPutBack();
        Platform() = saved;
        EXPECT_FALSE(FileExists(kReceiptTree) || FileExists("C:\\Barcode\\x86"));
        EXPECT_TRUE(ReadCatalogue().empty());
        EXPECT_EQ(ReadTextFile("C:\\Barcode\\notes.txt"), "notes") << c.status;
    }
    RemoveTree(kLabelTree);
}

// Without package, library or one of its functions nothing is called, the
// library (looked for beside the program alone) is let go, and the status
// says so; so it is when a directory too long would be cut.
TEST_F(PackageUnpackTest, ArchiveLibraryIsCalledAsDocumentedOnlyWithPackageAndLibrary) {
    api().GetProcAddress = Recorded::GetProcAddress;
    api().FreeLibrary = Recorded::FreeLibrary;
    const struct {
        void (*arrange)(PlatformApi &);
        std::string calls;
    } cases[] = {
        {[](PlatformApi &) {}, "SetOwner; x -y \"" + std::string(m_szFolder) +
                                   "\\DriverData.Drv\" -o\"C:\\\" -hide, 16384; KillOwner; "
                                   "FreeLibrary; "},
        {[](PlatformApi &) { ::SetCurrentDirectoryA("C:\\windows"); }, "FreeLibrary; "},
        {[](PlatformApi &api) { api.LoadLibraryA = Recorded::NoLibrary; },
         "LoadLibrary " + std::string(m_szFolder) + "\\" SEVENZIP_DLL_NAME "; "},
        {[](PlatformApi &) { Recorded::missing = "SevenZipKillOwnerWindowEx"; }, "FreeLibrary; "},
        {[](PlatformApi &api) { api.GetCurrentDirectoryA = Recorded::OverlongDirectory; }, ""},
    };
    for (const auto &c : cases) {
        const PlatformApi saved = Platform();
        Recorded::calls.clear();
        c.arrange(api());
        CArchiveExtractor extractor;
        CPackageStaging staging;
        EXPECT_EQ(std::string(UnpackPackage(extractor, staging)),
                  &c == cases ? "" : "The driver package could not be read.");
        staging.CleanUpAndPutBack();
        EXPECT_EQ(Recorded::calls, c.calls) << "case " << &c - cases;
        Platform() = saved;
        Recorded::missing.clear();
        ::SetCurrentDirectoryA(m_szFolder);
    }
}

// Each model name after the index of its section, in the order read.
std::string ReadNames(const std::string &text) {
    WriteCatalogue(text);
    std::string seen;
    for (const CatalogueEntry &entry : ReadCatalogue())
        seen += std::to_string(entry.nIndex) + ":" + std::string(entry.strName) + " ";
    return seen;
}

// A section without names still takes an index; a gap, an empty value or
// the fiftieth name ends a section; a long name is cut, a long section name read whole.
TEST(CatalogueTest, SectionsInFileOrderEndAtTheirFirstMissingNameAfterFiftyOrPastTheList) {
    const std::string longName(200, 'x');
    std::string text =
        "[One]\r\nPrintName1=Alpha\r\nPrintName2=Beta\r\nPrintName4=Four\r\n"
        "[Empty]\r\nOther=x\r\n[" +
        std::string(150, 's') + "]\r\nPrintName1=" + longName +
        "\r\nPrintName2=\r\nPrintName3=Six\r\n[Last]\r\nPrintName1=Alpha\r\n[Many]\r\n";
    std::string expected = "0:Alpha 0:Beta 2:" + longName.substr(0, 127) + " 3:Alpha ";
    for (int k = 1; k <= 51; ++k) {
        text += "PrintName" + std::to_string(k) + "=M" + std::to_string(k) + "\r\n";
        expected += k <= 50 ? "4:M" + std::to_string(k) + " " : "";
    }
    EXPECT_EQ(ReadNames(text), expected);
    // The last section that holds a name wins; a name of none, or one that
    // differs in letter case only, keeps the selection.
    EXPECT_EQ(ResolveCatalogueIndex(ReadCatalogue(), 7, "Alpha"), 3);
    for (const char *pszOther : {"Four", "ALPHA"})
        EXPECT_EQ(ResolveCatalogueIndex(ReadCatalogue(), 7, pszOther), 7);

    // 40 section names of 99 bytes overflow the list of 3000 bytes.
    text.clear();
    for (int i = 0; i < 40; ++i)
        text += "[" + std::string(97, static_cast<char>('a' + i % 26)) + std::to_string(i % 10) +
                std::to_string(i / 10) + "]\r\nPrintName1=M" + std::to_string(i) + "\r\n";
    const std::string seen = ReadNames(text);
    EXPECT_EQ(seen.rfind("0:M0 1:M1 ", 0), 0u) << seen;
    EXPECT_EQ(seen.find("M30 "), std::string::npos) << seen;
    ::DeleteFileA(kCatalogueFile);
    EXPECT_TRUE(ReadCatalogue().empty());
}

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

// Wine answers for itself: Windows 7 unless told otherwise, of the prefix's
// width. A 64-bit build runs on 64-bit Windows only: it does not ask.
TEST_F(SystemIdentificationTest, StatusNamesTheSystemAndTheBitWidthKernel32Reports) {
    EXPECT_EQ(std::string(DescribeSystem(QueryWindowsVersionCode(), QueryWow64())),
              "Current System is Microsoft Windows 7  " + BitWidthText());
    // An unnamed version still shows the bit width.
    EXPECT_EQ(DescribeSystem(-1, FALSE), "Current System is  32 bit");
    EXPECT_EQ(DescribeSystem(13, TRUE), "Current System is  64 bit");
    api().GetProcAddress = Recorded::GetProcAddress;
    Recorded::calls.clear();
    EXPECT_TRUE(QueryWow64());
    Recorded::missing = "IsWow64Process";
    EXPECT_EQ(QueryWow64() != FALSE, sizeof(void *) == 8);
    EXPECT_EQ(Recorded::calls, sizeof(void *) == 8 ? "" : "IsWow64Process; ");
    Recorded::missing.clear();
}

} // namespace
