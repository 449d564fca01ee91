// The main dialog through its window only, started from the release folder:
// it opens, fills its driver list from the package, follows the user's
// choice, ends on Cancel or the close box and leaves nothing of the package,
// and never works through links a user planted.
#include "support/black_box.h"

#include <gtest/gtest.h>

#include <algorithm>
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

TEST(MainDialogE2E, StartedFromAnotherFolderFindsNoPackage) {
    InstallerWindow window(kReleaseProgram, "C:\\windows");
    ASSERT_TRUE(window.Found());
    ASSERT_TRUE(window.WaitInstallEnabled());
    EXPECT_TRUE(window.DriverList().empty());
    EXPECT_FALSE(FileExists("C:\\DriverName.cfg"));
}

// Runs a Unix tool on paths under the prefix's drive C: Wine shows a Unix
// symbolic link there as a reparse point, so links stand in for junctions.
void OnDriveC(const std::string &tool, const std::string &options, const std::string &path,
              const std::string &target = "") {
    const std::string drive = std::string(std::getenv("WINEPREFIX")) + "/drive_c/";
    std::string command = "Z:\\bin\\" + tool + " " + options + " " +
                          (target.empty() ? "" : drive + target + " ") + drive + path;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &process));
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    // Wine gives no exit of a Unix process: its work is waited for instead.
    std::string winPath = "C:\\" + path;
    std::replace(winPath.begin(), winPath.end(), '/', '\\');
    EXPECT_TRUE(WaitFor([&] {
        return (::GetFileAttributesA(winPath.c_str()) != INVALID_FILE_ATTRIBUTES) == (tool == "ln");
    })) << command;
}

std::vector<std::string> Entries(const std::string &folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE hFind = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    for (BOOL bMore = hFind != INVALID_HANDLE_VALUE; bMore; bMore = ::FindNextFileA(hFind, &found))
        names.insert(names.end(), found.cFileName[0] == '.' ? 0 : 1, found.cFileName);
    ::FindClose(hFind);
    return names;
}

// Folders at the package's paths stand aside for the run. A link there is
// left alone where Wine would move what it points to; links planted below
// the staging folders afterwards, to a user's folder or in a loop, never
// lead the clean-up to what they point to.
TEST(MainDialogE2E, WhatStandsAtThePackagesPathsStandsAsideAndLinksAreNeverFollowed) {
    const struct {
        const char *pszCase;
        std::vector<std::string> folders, before, after;
        const char *pszStatus;
    } cases[] = {
        {"folders in the way", {"linked", "DriverName.cfg", "Barcode"}, {}, {}, nullptr},
        {"link in the way",
         {"linked", "DriverName.cfg"},
         {"Ticket", "linked"},
         {},
         "C:\\Ticket is in the way and could not be set aside: it is a link, and this system would "
         "move what it points to. The driver package was not unpacked."},
        {"links planted",
         {"linked"},
         {},
         {"Ticket/x86/victim", "linked", "Barcode/victim", "linked"},
         nullptr},
        {"link loop planted",
         {},
         {},
         {"Ticket/x86/loop1", "Ticket", "Ticket/x86/loop2", "Ticket", "Barcode/loop", "Barcode"},
         nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszCase);
        for (const std::string &folder : c.folders) {
            ::CreateDirectoryA(("C:\\" + folder).c_str(), nullptr);
            WriteTextFile("C:\\" + folder + "\\one.txt", "one");
        }
        for (size_t i = 0; i < c.before.size(); i += 2)
            OnDriveC("ln", "-s", c.before[i], c.before[i + 1]);
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
            for (size_t i = 0; i < c.after.size(); i += 2)
                OnDriveC("ln", "-s", c.after[i], c.after[i + 1]);
            if (c.folders.size() == 3) {
                window.SelectPortKind(2);
                window.Click(IDC_INSTALL);
                EXPECT_TRUE(window.ConfirmParallelPort());
                EXPECT_TRUE(window.WaitInstallCaption("&Finish"));
                DeletePrinterNamed(window.PrinterName());
            }
            window.CloseBox();
            EXPECT_TRUE(window.WaitExit());
        }
        for (const std::string &folder : c.folders)
            EXPECT_EQ(Entries("C:\\" + folder), std::vector<std::string>{"one.txt"}) << folder;
        // A staging folder with a link left in it stays, the link with it.
        if (c.after.empty()) {
            EXPECT_EQ(::GetFileAttributesA("C:\\Ticket"),
                      c.before.empty() ? INVALID_FILE_ATTRIBUTES : 0x410u);
        }
        for (const char *pszPath : {"Ticket", "Barcode", "DriverName.cfg", "linked"})
            OnDriveC("rm", "-rf", pszPath);
    }
}

} // namespace
