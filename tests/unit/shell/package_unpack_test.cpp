// Unpacking the driver package and taking it away again: with and without
// package or archive library, and beside a user's own files of the same names.
#include "install/package_layout.h"
#include "shell/package_unpack.h"
#include "support/platform_scope.h"
#include "support/win_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The archive library's functions and its release, recorded in the order called.
struct Recorded {
    static inline std::vector<std::string> calls;
    static inline std::string missing;

    static BOOL Note(const std::string &call) {
        calls.push_back(call);
        return TRUE;
    }
    static int WINAPI SevenZip(HWND, LPCSTR szCmdLine, LPSTR szOutput, DWORD dwSize) {
        const bool bZeroed = std::string(szOutput, dwSize) == std::string(dwSize, '\0');
        return !Note(std::string(szCmdLine) + (bZeroed ? ", " : ", unzeroed ") +
                     std::to_string(dwSize));
    }
    static BOOL WINAPI SetOwner(HWND, LPVOID) { return Note("SetOwner"); }
    static BOOL WINAPI KillOwner(HWND) { return Note("KillOwner"); }
    static BOOL WINAPI FreeLibrary(HMODULE) { return Note("FreeLibrary"); }
    static FARPROC WINAPI GetProcAddress(HMODULE, LPCSTR pszName) {
        const std::string name = pszName;
        if (name == missing)
            return nullptr;
        if (name == "SevenZip")
            return AsFarProc(SevenZip);
        return name == "SevenZipSetOwnerWindowEx" ? AsFarProc(SetOwner) : AsFarProc(KillOwner);
    }
    static HMODULE WINAPI NoLibrary(LPCSTR) { return nullptr; }
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
    // Unpacks as start-up does.
    void Unpack() {
        CArchiveExtractor extractor;
        UnpackPackage(extractor, m_footprint);
    }

    char m_szFolder[MAX_PATH] = {};
    CPackageFootprint m_footprint;
};

TEST_F(PackageUnpackTest, CleanUpTakesAwayWhatTheUnpackAddedAndNothingOfTheUsers) {
    ::CreateDirectoryA("C:\\Ticket", nullptr);
    ::CreateDirectoryA("C:\\Ticket\\x86", nullptr);
    WriteTextFile("C:\\Ticket\\x86\\notes.txt", "notes");
    Unpack();
    for (const char *pszPath :
         {"C:\\Ticket\\x86\\uniDRV.DLL", "C:\\Ticket\\x64\\XOEMUNI.ini",
          "C:\\Barcode\\Common\\THERMAL.chm", "C:\\Barcode\\x64\\zkvNLM64.dll", kCatalogueFile})
        EXPECT_TRUE(FileExists(pszPath)) << pszPath;
    RemoveUnpackedPackage(m_footprint);
    for (const char *pszPath :
         {"C:\\Ticket\\x86\\uniDRV.DLL", "C:\\Ticket\\x64", kLabelTree, kCatalogueFile})
        EXPECT_FALSE(FileExists(pszPath)) << pszPath;
    EXPECT_EQ(ReadTextFile("C:\\Ticket\\x86\\notes.txt"), "notes");
    RemoveTree(kReceiptTree);
    RemoveTree(kLabelTree);
    ::DeleteFileA(kCatalogueFile);
}

// Without package, library or one of its functions nothing is called, and
// the library is let go; so it is when a directory too long would be cut.
TEST_F(PackageUnpackTest, ArchiveLibraryIsCalledAsDocumentedOnlyWithPackageAndLibrary) {
    api().GetProcAddress = Recorded::GetProcAddress;
    api().FreeLibrary = Recorded::FreeLibrary;
    const std::string extract =
        "x -y \"" + std::string(m_szFolder) + "\\DriverData.Drv\" -o\"C:\\\" -hide, 16384";
    const struct {
        const char *pszWhat;
        void (*arrange)(PlatformApi &);
        std::vector<std::string> calls;
    } cases[] = {
        {"package and library",
         [](PlatformApi &) {},
         {"SetOwner", extract, "KillOwner", "FreeLibrary"}},
        {"no package",
         [](PlatformApi &) { ::SetCurrentDirectoryA("C:\\windows"); },
         {"FreeLibrary"}},
        {"no library", [](PlatformApi &api) { api.LoadLibraryA = Recorded::NoLibrary; }, {}},
        {"function missing",
         [](PlatformApi &) { Recorded::missing = "SevenZipKillOwnerWindowEx"; },
         {"FreeLibrary"}},
        {"long directory",
         [](PlatformApi &api) { api.GetCurrentDirectoryA = Recorded::OverlongDirectory; },
         {}},
    };
    for (const auto &c : cases) {
        const PlatformApi saved = Platform();
        Recorded::calls.clear();
        c.arrange(api());
        Unpack();
        EXPECT_EQ(Recorded::calls, c.calls) << c.pszWhat;
        Platform() = saved;
        Recorded::missing.clear();
        ::SetCurrentDirectoryA(m_szFolder);
    }
}

} // namespace
