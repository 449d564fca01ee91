// The main dialog through its window only: it opens, fills its driver list
// from the catalogue, follows the user's choice and ends on Cancel or the
// close box.
#include "support/black_box.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string kProgram = WinePath(E2E_BIN_DIR "/DriverInstaller.exe");
const std::string kSampleCatalogue = WinePath(E2E_SOURCE_DIR "/package/DriverName.cfg");
const char kCatalogue[] = "C:\\DriverName.cfg";

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

class MainDialogE2E : public ::testing::Test {
protected:
    void SetUp() override { ::CopyFileA(kSampleCatalogue.c_str(), kCatalogue, FALSE); }
    void TearDown() override { ::DeleteFileA(kCatalogue); }
};

TEST_F(MainDialogE2E, OpensFillsTheDriverListAndFollowsTheChoice) {
    const std::vector<std::string> models = SampleModels();
    ASSERT_GE(models.size(), 38u);

    InstallerWindow window(kProgram, "C:\\");
    ASSERT_TRUE(window.Found());
    ASSERT_TRUE(window.WaitInstallEnabled());
    EXPECT_EQ(window.Text(1012), "&Install");
    EXPECT_EQ(window.DriverList(), models);
    EXPECT_EQ(window.DriverText(), models[0]);
    EXPECT_EQ(window.PrinterName(), models[0]);
    EXPECT_TRUE(window.SetDefaultTicked());
    EXPECT_GE(window.SelectedPortKind(), 0);

    window.SelectDriver(5);
    EXPECT_EQ(window.PrinterName(), models[5]);
    window.SelectDriver(static_cast<int>(models.size()) - 1);
    EXPECT_EQ(window.PrinterName(), models.back());
}

TEST_F(MainDialogE2E, CancelEndsTheProgram) {
    InstallerWindow window(kProgram, "C:\\");
    ASSERT_TRUE(window.Found());
    ASSERT_TRUE(window.WaitInstallEnabled());
    window.Click(2);
    EXPECT_TRUE(window.WaitExit());
}

TEST_F(MainDialogE2E, CloseBoxEndsTheProgram) {
    InstallerWindow window(kProgram, "C:\\");
    ASSERT_TRUE(window.Found());
    ASSERT_TRUE(window.WaitInstallEnabled());
    window.CloseBox();
    EXPECT_TRUE(window.WaitExit());
}

TEST_F(MainDialogE2E, CloseBoxDuringStartupEndsTheProgram) {
    InstallerWindow window(kProgram, "C:\\");
    ASSERT_TRUE(window.Found());
    window.CloseBox();
    EXPECT_TRUE(window.WaitExit());
}

} // namespace
