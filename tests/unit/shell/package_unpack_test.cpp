// Unpacking the driver package and taking it away again: with and without
// package or archive library, and beside a user's own files of the same names.
#include "install/package_layout.h"
#include "shell/package_unpack.h"
#include "support/platform_scope.h"
#include "support/win_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The test program lives beside DriverData.Drv and the archive library.
std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    *std::strrchr(path, '\\') = '\0';
    return path;
}

// The archive library's three functions, recorded.
struct Recorded {
    static inline std::vector<std::string> calls;
    static inline std::string command;
    static inline DWORD dwOutputSize = 0;
    static inline bool bOutputZeroed = false;
    static inline int nFreed = 0;

    static int WINAPI SevenZip(HWND, LPCSTR szCmdLine, LPSTR szOutput, DWORD dwSize) {
        calls.push_back("SevenZip");
        command = szCmdLine;
        dwOutputSize = dwSize;
        bOutputZeroed = std::all_of(szOutput, szOutput + dwSize, [](char c) { return c == 0; });
        return 0;
    }
    static BOOL WINAPI SetOwner(HWND, LPVOID) {
        calls.push_back("SetOwner");
        return TRUE;
    }
    static BOOL WINAPI KillOwner(HWND) {
        calls.push_back("KillOwner");
        return TRUE;
    }
    static BOOL WINAPI FreeLibrary(HMODULE hModule) {
        ++nFreed;
        return ::FreeLibrary(hModule);
    }
    static FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpName) {
        const std::string name = HIWORD(lpName) != 0 ? lpName : "";
        if (name == "SevenZip")
            return AsFarProc(SevenZip);
        if (name == "SevenZipSetOwnerWindowEx")
            return AsFarProc(SetOwner);
        if (name == "SevenZipKillOwnerWindowEx")
            return AsFarProc(KillOwner);
        return ::GetProcAddress(hModule, lpName);
    }
};

FARPROC WINAPI WithoutKillOwner(HMODULE hModule, LPCSTR lpName) {
    if (HIWORD(lpName) != 0 && std::strcmp(lpName, "SevenZipKillOwnerWindowEx") == 0)
        return nullptr;
    return ::GetProcAddress(hModule, lpName);
}

HMODULE WINAPI NoLibrary(LPCSTR) {
    return nullptr;
}

DWORD WINAPI OverlongDirectory(DWORD, LPSTR) {
    return 300;
}

class PackageUnpackTest : public PlatformTest {
protected:
    void SetUp() override {
        ::GetCurrentDirectoryA(MAX_PATH, m_szSavedDirectory);
        ::SetCurrentDirectoryA(ProgramFolder().c_str());
        Recorded::calls.clear();
        Recorded::nFreed = 0;
    }
    void TearDown() override {
        ::SetCurrentDirectoryA(m_szSavedDirectory);
        RemoveTree(kReceiptTree);
        RemoveTree(kLabelTree);
        ::DeleteFileA(kCatalogueFile);
        PlatformTest::TearDown();
    }

    // Unpacks as start-up does; the clean-up runs when the footprint is taken away.
    void Unpack() {
        CArchiveExtractor extractor;
        UnpackPackage(extractor, m_footprint);
    }

    CPackageFootprint m_footprint;
    char m_szSavedDirectory[MAX_PATH] = {};
};

TEST_F(PackageUnpackTest, PackageIsUnpackedForTheRunAndTakenAwayAtItsEnd) {
    Unpack();
    for (const char *pszPath : {"C:\\Ticket\\x86\\uniDRV.DLL", "C:\\Ticket\\x64\\XOEMUNI.ini",
                                "C:\\Barcode\\Common\\THERMAL.chm",
                                "C:\\Barcode\\x64\\zkvNLM64.dll", "C:\\DriverName.cfg"})
        EXPECT_TRUE(FileExists(pszPath)) << pszPath;
    RemoveUnpackedPackage(m_footprint);
    for (const char *pszPath : {kReceiptTree, kLabelTree, kCatalogueFile})
        EXPECT_FALSE(FileExists(pszPath)) << pszPath;
}

TEST_F(PackageUnpackTest, UsersOwnFilesOfTheSameNamesSurviveTheCleanUp) {
    ::CreateDirectoryA("C:\\Ticket", nullptr);
    WriteTextFile("C:\\Ticket\\mine.txt", "mine");
    ::CreateDirectoryA("C:\\Ticket\\x86", nullptr);
    WriteTextFile("C:\\Ticket\\x86\\notes.txt", "notes");
    Unpack();
    ASSERT_TRUE(FileExists("C:\\Ticket\\x86\\uniDRV.DLL"));
    RemoveUnpackedPackage(m_footprint);
    EXPECT_EQ(ReadTextFile("C:\\Ticket\\mine.txt"), "mine");
    EXPECT_EQ(ReadTextFile("C:\\Ticket\\x86\\notes.txt"), "notes");
    EXPECT_FALSE(FileExists("C:\\Ticket\\x86\\uniDRV.DLL"));
    EXPECT_FALSE(FileExists("C:\\Ticket\\x64"));
    EXPECT_FALSE(FileExists(kLabelTree));
    EXPECT_FALSE(FileExists(kCatalogueFile));
}

TEST_F(PackageUnpackTest, ArchiveLibraryIsCalledAsDocumented) {
    api().GetProcAddress = Recorded::GetProcAddress;
    Unpack();
    EXPECT_EQ(Recorded::calls, (std::vector<std::string>{"SetOwner", "SevenZip", "KillOwner"}));
    EXPECT_EQ(Recorded::command,
              "x -y \"" + ProgramFolder() + "\\DriverData.Drv\" -o\"C:\\\" -hide");
    EXPECT_EQ(Recorded::dwOutputSize, 16384u);
    EXPECT_TRUE(Recorded::bOutputZeroed);
}

TEST_F(PackageUnpackTest, NothingIsUnpackedWithoutPackageOrLibrary) {
    struct Case {
        const char *name;
        void (*arrange)(PlatformApi &);
    };
    const Case cases[] = {
        {"no package in the current directory",
         [](PlatformApi &) { ::SetCurrentDirectoryA("C:\\windows"); }},
        {"no archive library", [](PlatformApi &api) { api.LoadLibraryA = NoLibrary; }},
        {"library lacking a function",
         [](PlatformApi &api) {
             api.GetProcAddress = WithoutKillOwner;
             api.FreeLibrary = Recorded::FreeLibrary;
         }},
        {"current directory longer than its buffer",
         [](PlatformApi &api) { api.GetCurrentDirectoryA = OverlongDirectory; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PlatformApi saved = Platform();
        c.arrange(api());
        Unpack();
        EXPECT_FALSE(FileExists(kCatalogueFile));
        Platform() = saved;
        ::SetCurrentDirectoryA(ProgramFolder().c_str());
    }
    EXPECT_GE(Recorded::nFreed, 1);
}

} // namespace
