// The main dialog through its window only, started from the release folder:
// it opens, fills its driver list from the package, follows the user's
// choice, ends on Cancel or the close box and leaves nothing of the package,
// and never works through links a user planted.
#include "support/black_box.h"

#include <gtest/gtest.h>
#include <sevenzip.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string kSampleCatalogue = WinePath(E2E_SOURCE_DIR "/package/DriverName.cfg");
const char *const kUnpackedPaths[] = {"C:\\Ticket", "C:\\Barcode", "C:\\DriverName.cfg"};

// Model names of the sample catalogue in file order.
std::vector<std::string> SampleModels() {
    std::vector<std::string> models;
    std::ifstream in(kSampleCatalogue);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("PrintName", 0) == 0)
            models.push_back(line.substr(line.find('=') + 1));
    }
    return models;
}

TEST(MainDialogE2E, FillsTheDriverListFromThePackageAndFollowsTheChoice) {
    const std::vector<std::string> models = SampleModels();
    ASSERT_GE(models.size(), 38u);
    {
        InstallerWindow window(kReleaseProgram, kReleaseDir);
        ASSERT_TRUE(window.Found());
        ASSERT_TRUE(window.WaitInstallEnabled());
        EXPECT_EQ(window.Text(IDC_INSTALL), "&Install");
        EXPECT_EQ(window.DriverList(), models);
        EXPECT_EQ(window.DriverText(), models[0]);
        EXPECT_EQ(window.PrinterName(), models[0]);
        EXPECT_TRUE(window.SetDefaultTicked());
        EXPECT_GE(window.SelectedPortKind(), 0);
        for (const char *path : kUnpackedPaths)
            EXPECT_TRUE(FileExists(path)) << path;

        window.SelectDriver(5);
        EXPECT_EQ(window.PrinterName(), models[5]);
        window.SelectDriver(static_cast<int>(models.size()) - 1);
        EXPECT_EQ(window.PrinterName(), models.back());

        window.Click(IDCANCEL);
        EXPECT_TRUE(window.WaitExit());
    }
    for (const char *path : kUnpackedPaths)
        EXPECT_FALSE(FileExists(path)) << path;
}

// The close box ends the program, with start-up finished or still at work,
// and nothing of the package stays.
TEST(MainDialogE2E, CloseBoxEndsTheProgramAndLeavesNoTrace) {
    for (bool bAfterStartup : {true, false}) {
        SCOPED_TRACE(bAfterStartup ? "after start-up" : "during start-up");
        InstallerWindow window(kReleaseProgram, kReleaseDir);
        ASSERT_TRUE(window.Found());
        if (bAfterStartup) {
            ASSERT_TRUE(window.WaitInstallEnabled());
        }
        window.CloseBox();
        EXPECT_TRUE(window.WaitExit());
        for (const char *path : kUnpackedPaths)
            EXPECT_FALSE(FileExists(path)) << path;
    }
}

// Started from another folder, or with no archive library beside it (a
// working one planted in a folder on the PATH is not taken), the program
// says it could not read the package and lists nothing.
TEST(MainDialogE2E, WithoutPackageOrArchiveLibraryBesideItListsNothing) {
    const std::string bare = "C:\\bare", planted = "C:\\planted", program = "\\" E2E_PROGRAM;
    for (const std::string &folder : {bare, planted})
        ::CreateDirectoryA(folder.c_str(), nullptr);
    ::CopyFileA(kReleaseProgram.c_str(), (bare + program).c_str(), FALSE);
    ::CopyFileA((kReleaseDir + "\\DriverData.Drv").c_str(), (bare + "\\DriverData.Drv").c_str(),
                FALSE);
    ::CopyFileA((kReleaseDir + "\\" SEVENZIP_DLL_NAME).c_str(),
                (planted + "\\" SEVENZIP_DLL_NAME).c_str(), FALSE);
    char szPath[32767] = {};
    ::GetEnvironmentVariableA("PATH", szPath, sizeof(szPath));
    ::SetEnvironmentVariableA("PATH", (planted + ";" + szPath).c_str());
    const struct {
        std::string program, folder;
    } rows[] = {{kReleaseProgram, "C:\\windows"}, {bare + program, bare}};
    for (const auto &row : rows) {
        InstallerWindow window(row.program, row.folder);
        ASSERT_TRUE(window.Found()) << row.program;
        EXPECT_TRUE(WaitFor([&] {
            return window.Status() == "The driver package could not be read.";
        })) << window.Status();
        EXPECT_TRUE(window.DriverList().empty()) << row.program;
        window.CloseBox();
        EXPECT_TRUE(window.WaitExit());
        EXPECT_FALSE(FileExists("C:\\DriverName.cfg"));
    }
    RemoveTree(bare);
    RemoveTree(planted);
}

// Runs a shell line in the prefix's drive C, where Wine shows a Unix symbolic
// link as a reparse point: links stand in for junctions. Wine gives no end of
// a Unix process, so the line's last path is waited for to come or to go.
void OnDriveC(const std::string &line, const std::string &lastPath, bool bComes) {
    const std::string command = "Z:\\bin\\sh -c \"cd " + std::string(std::getenv("WINEPREFIX")) +
                                "/drive_c && " + line + "\"";
    ASSERT_GT(::WinExec(command.c_str(), SW_HIDE), 31u);
    EXPECT_TRUE(WaitFor([&] { return FileExists("C:\\" + lastPath) == bComes; })) << line;
}

// A folder at the package's paths stands aside for the run. A link there is
// left alone where Wine would move what it points to; links planted below
// the staging folders afterwards, to a user's folder or in loops, never lead
// the clean-up to what they point to, nor keep the program from closing.
TEST(MainDialogE2E, WhatStandsAtThePackagesPathsStandsAsideAndLinksAreNeverFollowed) {
    const struct {
        const char *pszCase, *pszBefore, *pszAfter, *pszStatus;
    } cases[] = {
        {"folder in the way", nullptr, nullptr, nullptr},
        {"link in the way", "ln -s linked Ticket", nullptr,
         "C:\\Ticket is in the way and could not be set aside: it is a link, and this system would "
         "move what it points to. The driver package was not unpacked."},
        {"links planted, to a folder and in loops", nullptr,
         "ln -s ../../linked Ticket/x86/l && ln -s .. Ticket/x86/loop && ln -s . Barcode/l",
         nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszCase);
        for (const std::string folder : {"C:\\linked", "C:\\DriverName.cfg"}) {
            ::CreateDirectoryA(folder.c_str(), nullptr);
            WriteTextFile(folder + "\\one.txt", "one");
        }
        if (c.pszBefore != nullptr)
            OnDriveC(c.pszBefore, "Ticket", true);
        {
            InstallerWindow window(kReleaseProgram, kReleaseDir);
            ASSERT_TRUE(window.Found());
            if (c.pszStatus != nullptr) {
                EXPECT_TRUE(WaitFor([&] { return window.Status() == c.pszStatus; }))
                    << window.Status();
                EXPECT_TRUE(window.DriverList().empty());
            } else {
                ASSERT_TRUE(window.WaitInstallEnabled());
                EXPECT_EQ(window.DriverList(), SampleModels());
            }
            if (c.pszAfter != nullptr)
                OnDriveC(c.pszAfter, "Barcode\\l", true);
            if (c.pszBefore == c.pszAfter) {
                window.SelectPortKind(2);
                window.Click(IDC_INSTALL);
                EXPECT_TRUE(window.ConfirmParallelPort() && window.WaitInstallCaption("&Finish"));
                DeletePrinterNamed(window.PrinterName());
            }
            window.CloseBox();
            EXPECT_TRUE(window.WaitExit());
        }
        EXPECT_TRUE(FileExists("C:\\linked\\one.txt") && !FileExists("C:\\linked\\x86"));
        EXPECT_TRUE(FileExists("C:\\DriverName.cfg\\one.txt"));
        // A staging folder with a link left in it stays, the link with it.
        if (c.pszAfter == nullptr) {
            EXPECT_EQ(::GetFileAttributesA("C:\\Ticket"),
                      c.pszBefore == nullptr ? INVALID_FILE_ATTRIBUTES : 0x410u);
        }
        OnDriveC("rm -rf Ticket Barcode DriverName.cfg linked", "linked", false);
    }
}

} // namespace
