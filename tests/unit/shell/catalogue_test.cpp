// The driver list and the catalogue index a model name resolves to, on
// catalogues that break naive readers.
#include "shell/installer_dlg.h"
#include "support/dialog_runner.h"
#include "support/wine_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kCatalogue[] = "C:\\DriverName.cfg";

class CatalogueTest : public ::testing::Test {
protected:
    void TearDown() override { ::DeleteFileA(kCatalogue); }

    // Starts the dialog on the catalogue and returns the driver list once
    // start-up has filled it.
    std::vector<std::string> ShownModels(const std::string &catalogue) {
        WriteTextFile(kCatalogue, catalogue);
        return ShownModels();
    }

    std::vector<std::string> ShownModels() {
        CInstallerDlg dlg;
        DialogRunner runner(dlg);
        EXPECT_TRUE(DialogRunner::WaitFor([&] { return runner.Enabled(1012); }));
        std::vector<std::string> models;
        const HWND hList = runner.Item(1000);
        const int nCount = static_cast<int>(::SendMessageA(hList, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < nCount; ++i) {
            char buffer[512] = {};
            ::SendMessageA(hList, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer));
            models.push_back(buffer);
        }
        m_printerName = runner.Text(1001);
        return models;
    }

    int Resolve(int nSelection, const std::string &text) {
        CInstallerDlg dlg;
        return dlg.ResolveDriverIndex(nSelection, text.c_str());
    }

    std::string m_printerName;
};

TEST_F(CatalogueTest, ListsModelNamesInFileOrderAndCopiesTheFirstIntoThePrinterName) {
    const auto models = ShownModels("[One]\r\nPrintName1=Alpha\r\nPrintName2=Beta\r\n"
                                    "[Two]\r\nPrintName1=Gamma\r\n");
    EXPECT_EQ(models, (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
    EXPECT_EQ(m_printerName, "Alpha");
    EXPECT_EQ(Resolve(0, "Alpha"), 0);
    EXPECT_EQ(Resolve(1, "Beta"), 0);
    EXPECT_EQ(Resolve(2, "Gamma"), 1);
}

TEST_F(CatalogueTest, NameInTwoSectionsIsShownTwiceAndResolvesToTheLater) {
    const auto models = ShownModels("[A]\r\nPrintName1=Same\r\n[B]\r\nPrintName1=Other\r\n"
                                    "[C]\r\nPrintName1=Same\r\n");
    EXPECT_EQ(models, (std::vector<std::string>{"Same", "Other", "Same"}));
    EXPECT_EQ(Resolve(0, "Same"), 2);
}

TEST_F(CatalogueTest, SectionWithoutModelNamesStillTakesAnIndex) {
    const auto models = ShownModels("[A]\r\nPrintName1=First\r\n[Empty]\r\nOther=x\r\n"
                                    "[C]\r\nPrintName1=Third\r\n");
    EXPECT_EQ(models, (std::vector<std::string>{"First", "Third"}));
    EXPECT_EQ(Resolve(1, "Third"), 2);
}

TEST_F(CatalogueTest, GapOrEmptyValueEndsASection) {
    const auto models = ShownModels("[A]\r\nPrintName1=One\r\nPrintName2=Two\r\nPrintName4=Four\r\n"
                                    "[B]\r\nPrintName1=Five\r\nPrintName2=\r\nPrintName3=Six\r\n");
    EXPECT_EQ(models, (std::vector<std::string>{"One", "Two", "Five"}));
    EXPECT_EQ(Resolve(-1, "Four"), -1);
    EXPECT_EQ(Resolve(-1, "Six"), -1);
}

TEST_F(CatalogueTest, OnlyFiftyModelNamesASection) {
    std::string catalogue = "[Many]\r\n";
    for (int k = 1; k <= 51; ++k)
        catalogue += "PrintName" + std::to_string(k) + "=Model" + std::to_string(k) + "\r\n";
    const auto models = ShownModels(catalogue);
    ASSERT_EQ(models.size(), 50u);
    EXPECT_EQ(models.back(), "Model50");
    EXPECT_EQ(Resolve(7, "Model51"), 7);
}

TEST_F(CatalogueTest, LongModelNameIsCutTo127BytesAndStillResolves) {
    const std::string longName(200, 'x');
    const auto models =
        ShownModels("[A]\r\nPrintName1=a\r\n[B]\r\nPrintName1=" + longName + "\r\n");
    ASSERT_EQ(models.size(), 2u);
    EXPECT_EQ(models[1], longName.substr(0, 127));
    EXPECT_EQ(Resolve(1, models[1]), 1);
}

TEST_F(CatalogueTest, LongSectionNamesAreReadWhole) {
    const std::string longSection(150, 's');
    const auto models =
        ShownModels("[" + longSection + "]\r\nPrintName1=Deep\r\n[B]\r\nPrintName1=Next\r\n");
    EXPECT_EQ(models, (std::vector<std::string>{"Deep", "Next"}));
    EXPECT_EQ(Resolve(0, "Next"), 1);
}

TEST_F(CatalogueTest, SectionsPastTheSectionListBufferAreNeitherShownNorCounted) {
    // 40 names of 99 bytes fill 4000 bytes; the list is cut near 3000.
    std::string catalogue;
    for (int i = 0; i < 40; ++i) {
        std::string name(97, 'a' + i % 26);
        name += std::to_string(i % 10) + std::to_string(i / 10);
        catalogue += "[" + name + "]\r\nPrintName1=M" + std::to_string(i) + "\r\n";
    }
    const auto models = ShownModels(catalogue);
    ASSERT_FALSE(models.empty());
    EXPECT_LT(models.size(), 31u);
    EXPECT_EQ(models.front(), "M0");
    EXPECT_EQ(Resolve(-1, "M35"), -1);
    EXPECT_EQ(Resolve(-1, "M39"), -1);
}

TEST_F(CatalogueTest, MissingFileGivesAnEmptyListAndIndexMinusOne) {
    ::DeleteFileA(kCatalogue);
    const auto models = ShownModels();
    EXPECT_TRUE(models.empty());
    EXPECT_EQ(m_printerName, "");
    EXPECT_EQ(Resolve(-1, ""), -1);
}

} // namespace
