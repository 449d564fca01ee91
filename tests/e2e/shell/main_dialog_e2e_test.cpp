// The main dialog through its window only, started from the release folder:
// it fills its driver list from the package while what stands at the
// package's paths is set aside, ends on the close box leaving no trace, and
// never works through links a user planted.
#include "support/black_box.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Model names of the sample catalogue in file order.
std::vector<std::string> SampleModels() {
    std::vector<std::string> models;
    std::ifstream in(WinePath(E2E_SOURCE_DIR "/package/DriverName.cfg"));
    for (std::string line; std::getline(in, line);) {
        line.erase(line.find_last_not_of('\r') + 1);
        if (line.rfind("PrintName", 0) == 0)
            models.push_back(line.substr(line.find('=') + 1));
    }
    return models;
}

TEST(MainDialogE2E, ListsThePackagesModelsWhileAUsersFolderStandsAsideAndLeavesNoTrace) {
    ::CreateDirectoryA("C:\\DriverName.cfg", nullptr);
    WriteTextFile("C:\\DriverName.cfg\\one.txt", "one");
    {
        InstallerWindow window(kReleaseProgram, kReleaseDir);
        ASSERT_TRUE(window.WaitInstallEnabled());
        EXPECT_EQ(window.DriverList(), SampleModels());
        // The printer's name follows the model chosen.
        window.SelectEntry(IDC_DRIVER_LIST, 5);
        EXPECT_EQ(window.Text(IDC_PRINTER_NAME), SampleModels().at(5));
        EXPECT_TRUE(FileExists("C:\\Ticket") && FileExists("C:\\Barcode"));
        window.Close();
        EXPECT_TRUE(window.WaitExit());
    }
    EXPECT_FALSE(FileExists("C:\\Ticket") || FileExists("C:\\Barcode"));
    EXPECT_EQ(ReadTextFile("C:\\DriverName.cfg\\one.txt"), "one");
    RemoveTree("C:\\DriverName.cfg");
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

// A link at the package's paths is left alone, where Wine would move what it
// points to; links planted below the staging folders afterwards, to a user's
// folder or in loops, never lead the clean-up to what they point to, nor
// keep the program from closing.
TEST(MainDialogE2E, LinksAtOrBelowThePackagesPathsAreNeverFollowed) {
    for (const bool bInTheWay : {true, false}) {
        SCOPED_TRACE(bInTheWay ? "link in the way" : "links planted");
        ::CreateDirectoryA("C:\\linked", nullptr);
        WriteTextFile("C:\\linked\\one.txt", "one");
        if (bInTheWay)
            OnDriveC("ln -s linked Ticket", "Ticket", true);
        {
            InstallerWindow window(kReleaseProgram, kReleaseDir);
            if (bInTheWay) {
                EXPECT_TRUE(WaitFor([&] {
                    return window.Status() ==
                           "C:\\Ticket is in the way and could not be set aside: it is a link, and "
                           "this system would move what it points to. The driver package was not "
                           "unpacked.";
                })) << window.Status();
            } else {
                ASSERT_TRUE(window.WaitInstallEnabled());
                OnDriveC("ln -s ../../linked Ticket/x86/l && ln -s .. Ticket/x86/loop && "
                         "ln -s . Barcode/l",
                         "Barcode\\l", true);
            }
            window.Close();
            EXPECT_TRUE(window.WaitExit());
        }
        EXPECT_TRUE(FileExists("C:\\linked\\one.txt") && !FileExists("C:\\linked\\x86"));
        if (bInTheWay) {
            EXPECT_EQ(::GetFileAttributesA("C:\\Ticket"), 0x410u) << "no longer the link";
        }
        OnDriveC("rm -rf Ticket Barcode DriverName.cfg linked", "linked", false);
    }
}

} // namespace
