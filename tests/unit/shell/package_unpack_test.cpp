// Unpacking the driver package at start-up and taking it away at the end:
// with and without package or archive library, and beside a user's own
// files of the same names.
#include "shell/installer_dlg.h"
#include "support/dialog_runner.h"
#include "support/platform_scope.h"
#include "support/wine_files.h"

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

struct Recorded {
    static std::vector<std::string> calls;
    static std::string command;
    static DWORD dwOutputSize;
    static bool bOutputZeroed;
    static int nFreed;

    static int WINAPI SevenZip(HWND, LPCSTR szCmdLine, LPSTR szOutput, DWORD dwSize) {
        calls.push_back("SevenZip");
        command = szCmdLine;
        dwOutputSize = dwSize;
        bOutputZeroed = std::all_of(szOutput, szOutput + dwSize + 1, [](char c) { return c == 0; });
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
};
std::vector<std::string> Recorded::calls;
std::string Recorded::command;
DWORD Recorded::dwOutputSize = 0;
bool Recorded::bOutputZeroed = false;
int Recorded::nFreed = 0;

template <class Fn> FARPROC AsProc(Fn pfn) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(pfn));
}

FARPROC WINAPI RecordingProcs(HMODULE hModule, LPCSTR lpName) {
    if (HIWORD(lpName) != 0 && std::strcmp(lpName, "SevenZip") == 0)
        return AsProc(Recorded::SevenZip);
    if (HIWORD(lpName) != 0 && std::strcmp(lpName, "SevenZipSetOwnerWindowEx") == 0)
        return AsProc(Recorded::SetOwner);
    if (HIWORD(lpName) != 0 && std::strcmp(lpName, "SevenZipKillOwnerWindowEx") == 0)
        return AsProc(Recorded::KillOwner);
    return ::GetProcAddress(hModule, lpName);
}

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
        RemoveTree("C:\\Ticket");
        RemoveTree("C:\\Barcode");
        ::DeleteFileA("C:\\DriverName.cfg");
        PlatformTest::TearDown();
    }

    // Runs the dialog through start-up; inspect(runner) sees it before it closes.
    template <class Inspect> void RunStartup(Inspect inspect) {
        CInstallerDlg dlg;
        DialogRunner runner(dlg);
        ASSERT_TRUE(DialogRunner::WaitFor([&] { return runner.Enabled(1012); }));
        inspect(runner);
        runner.Close();
        runner.Join();
    }
    static int DriverCount(const DialogRunner &runner) {
        return static_cast<int>(::SendMessageA(runner.Item(1000), CB_GETCOUNT, 0, 0));
    }

    char m_szSavedDirectory[MAX_PATH] = {};
};

TEST_F(PackageUnpackTest, PackageIsUnpackedForTheRunAndTakenAwayAtItsEnd) {
    RunStartup([](const DialogRunner &runner) {
        EXPECT_TRUE(FileExists("C:\\Ticket\\x86\\uniDRV.DLL"));
        EXPECT_TRUE(FileExists("C:\\Ticket\\x64\\XOEMUNI.ini"));
        EXPECT_TRUE(FileExists("C:\\Barcode\\Common\\THERMAL.chm"));
        EXPECT_TRUE(FileExists("C:\\Barcode\\x64\\zkvNLM64.dll"));
        EXPECT_TRUE(FileExists("C:\\DriverName.cfg"));
        EXPECT_GE(DriverCount(runner), 38);
    });
    EXPECT_FALSE(FileExists("C:\\Ticket"));
    EXPECT_FALSE(FileExists("C:\\Barcode"));
    EXPECT_FALSE(FileExists("C:\\DriverName.cfg"));
}

TEST_F(PackageUnpackTest, UsersOwnFilesOfTheSameNamesSurviveTheCleanUp) {
    ::CreateDirectoryA("C:\\Ticket", nullptr);
    WriteTextFile("C:\\Ticket\\mine.txt", "mine");
    ::CreateDirectoryA("C:\\Ticket\\x86", nullptr);
    WriteTextFile("C:\\Ticket\\x86\\notes.txt", "notes");
    RunStartup([](const DialogRunner &runner) { EXPECT_GE(DriverCount(runner), 38); });
    EXPECT_EQ(ReadTextFile("C:\\Ticket\\mine.txt"), "mine");
    EXPECT_EQ(ReadTextFile("C:\\Ticket\\x86\\notes.txt"), "notes");
    EXPECT_FALSE(FileExists("C:\\Ticket\\x86\\uniDRV.DLL"));
    EXPECT_FALSE(FileExists("C:\\Ticket\\x64"));
    EXPECT_FALSE(FileExists("C:\\Barcode"));
    EXPECT_FALSE(FileExists("C:\\DriverName.cfg"));
}

TEST_F(PackageUnpackTest, ArchiveLibraryIsCalledAsDocumented) {
    api().GetProcAddress = RecordingProcs;
    RunStartup([](const DialogRunner &) {});
    EXPECT_EQ(Recorded::calls, (std::vector<std::string>{"SetOwner", "SevenZip", "KillOwner"}));
    EXPECT_EQ(Recorded::command,
              "x -y \"" + ProgramFolder() + "\\DriverData.Drv\" -o\"C:\\\" -hide");
    EXPECT_EQ(Recorded::dwOutputSize, 16384u);
    EXPECT_TRUE(Recorded::bOutputZeroed);
}

TEST_F(PackageUnpackTest, StartupGoesOnSilentlyWithAnEmptyListWhenNothingCanBeUnpacked) {
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
        RunStartup([](const DialogRunner &runner) {
            EXPECT_EQ(DriverCount(runner), 0);
            EXPECT_EQ(runner.Text(1001), "");
            EXPECT_FALSE(FileExists("C:\\DriverName.cfg"));
        });
        Platform() = saved;
        ::SetCurrentDirectoryA(ProgramFolder().c_str());
    }
    EXPECT_GE(Recorded::nFreed, 1);
}

} // namespace
