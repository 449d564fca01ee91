// The model names of the catalogue and the catalogue index a name resolves
// to, on catalogues that break naive readers.
#include "install/package_layout.h"
#include "shell/driver_catalogue.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

class CatalogueTest : public ::testing::Test {
protected:
    void TearDown() override { ::DeleteFileA(kCatalogueFile); }

    // Reads the catalogue; its model names, in order, are kept for Resolve.
    Names Read(const std::string &text) {
        WriteCatalogue(text);
        m_entries = ReadCatalogue();
        Names names;
        for (const CatalogueEntry &entry : m_entries)
            names.push_back(std::string(entry.strName));
        return names;
    }
    int Resolve(int nSelection, const std::string &text) const {
        return ResolveCatalogueIndex(m_entries, nSelection, text.c_str());
    }

    std::vector<CatalogueEntry> m_entries;
};

TEST_F(CatalogueTest, NamesInFileOrderResolveToTheLastSectionThatHoldsThem) {
    EXPECT_EQ(Read("[One]\r\nPrintName1=Alpha\r\nPrintName2=Beta\r\n"
                   "[Two]\r\nPrintName1=Gamma\r\n[Three]\r\nPrintName1=Alpha\r\n"),
              (Names{"Alpha", "Beta", "Gamma", "Alpha"}));
    EXPECT_EQ(Resolve(1, "Beta"), 0);
    EXPECT_EQ(Resolve(2, "Gamma"), 1);
    EXPECT_EQ(Resolve(0, "Alpha"), 2);
    // A name of no section keeps the list's selection.
    EXPECT_EQ(Resolve(7, "Delta"), 7);
}

// A section without model names still takes an index; a gap or an empty
// value ends a section; at most 50 names a section.
TEST_F(CatalogueTest, SectionsEndAtTheirFirstMissingNameAndAfterFifty) {
    std::string many = "[Many]\r\n";
    for (int k = 1; k <= 51; ++k)
        many += "PrintName" + std::to_string(k) + "=Model" + std::to_string(k) + "\r\n";
    const Names names = Read("[A]\r\nPrintName1=One\r\nPrintName2=Two\r\nPrintName4=Four\r\n"
                             "[Empty]\r\nOther=x\r\n"
                             "[B]\r\nPrintName1=Five\r\nPrintName2=\r\nPrintName3=Six\r\n" +
                             many);
    ASSERT_EQ(names.size(), 53u);
    EXPECT_EQ(Names(names.begin(), names.begin() + 3), (Names{"One", "Two", "Five"}));
    EXPECT_EQ(names.back(), "Model50");
    EXPECT_EQ(Resolve(-1, "Five"), 2);
    EXPECT_EQ(Resolve(-1, "Model50"), 3);
    for (const char *pszUnread : {"Four", "Six", "Model51"})
        EXPECT_EQ(Resolve(-1, pszUnread), -1) << pszUnread;
}

TEST_F(CatalogueTest, LongNamesAreCutOrReadWholeWithoutOverrun) {
    const std::string longName(200, 'x');
    const std::string longSection(150, 's');
    const Names names =
        Read("[" + longSection + "]\r\nPrintName1=" + longName + "\r\n[B]\r\nPrintName1=Next\r\n");
    EXPECT_EQ(names, (Names{longName.substr(0, 127), "Next"}));
    EXPECT_EQ(Resolve(-1, names[0]), 0);
    EXPECT_EQ(Resolve(-1, "Next"), 1);
}

TEST_F(CatalogueTest, SectionsPastTheSectionListBufferAreNeitherReadNorCounted) {
    // 40 names of 99 bytes fill 4000 bytes; the list is cut near 3000.
    std::string text;
    for (int i = 0; i < 40; ++i) {
        std::string name(97, static_cast<char>('a' + i % 26));
        name += std::to_string(i % 10) + std::to_string(i / 10);
        text += "[" + name + "]\r\nPrintName1=M" + std::to_string(i) + "\r\n";
    }
    const Names names = Read(text);
    ASSERT_FALSE(names.empty());
    EXPECT_LT(names.size(), 31u);
    EXPECT_EQ(names.front(), "M0");
    EXPECT_EQ(Resolve(-1, "M39"), -1);
}

TEST_F(CatalogueTest, MissingFileHasNoNames) {
    ::DeleteFileA(kCatalogueFile);
    EXPECT_TRUE(ReadCatalogue().empty());
}

} // namespace
