// The main dialog through its window only, started from the release folder:
// it opens, fills its driver list from the package, follows the user's
// choice, ends on Cancel or the close box and leaves nothing of the package.
#include "support/black_box.h"

#include <gtest/gtest.h>
#include <sevenzip.h>

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
// lists nothing.
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
        ASSERT_TRUE(window.WaitInstallEnabled());
        EXPECT_TRUE(window.DriverList().empty()) << row.program;
        EXPECT_FALSE(FileExists("C:\\DriverName.cfg"));
    }
    RemoveTree(bare);
    RemoveTree(planted);
}

} // namespace
