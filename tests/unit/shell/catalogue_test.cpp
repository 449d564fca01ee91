// The model names of the catalogue and the catalogue index a name resolves
// to, on catalogues that break naive readers.
#include "install/package_layout.h"
#include "shell/driver_catalogue.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Each model name after the index of its section, in the order read.
std::string Read(const std::string &text) {
    WriteCatalogue(text);
    std::string seen;
    for (const CatalogueEntry &entry : ReadCatalogue())
        seen += std::to_string(entry.nIndex) + ":" + std::string(entry.strName) + " ";
    return seen;
}

// A section without names still takes an index; a gap, an empty value or
// the fiftieth name ends a section; a long name is cut, a long section name read whole.
TEST(CatalogueTest, SectionsInFileOrderEndAtTheirFirstMissingNameAndAfterFifty) {
    const std::string longName(200, 'x');
    std::string text =
        "[One]\r\nPrintName1=Alpha\r\nPrintName2=Beta\r\nPrintName4=Four\r\n"
        "[Empty]\r\nOther=x\r\n[" +
        std::string(150, 's') + "]\r\nPrintName1=" + longName +
        "\r\nPrintName2=\r\nPrintName3=Six\r\n[Last]\r\nPrintName1=Alpha\r\n[Many]\r\n";
    std::string expected = "0:Alpha 0:Beta 2:" + longName.substr(0, 127) + " 3:Alpha ";
    for (int k = 1; k <= 51; ++k) {
        text += "PrintName" + std::to_string(k) + "=M" + std::to_string(k) + "\r\n";
        expected += k <= 50 ? "4:M" + std::to_string(k) + " " : "";
    }
    EXPECT_EQ(Read(text), expected);
    // The last section that holds a name wins; a name of none keeps the selection.
    EXPECT_EQ(ResolveCatalogueIndex(ReadCatalogue(), 7, "Alpha"), 3);
    EXPECT_EQ(ResolveCatalogueIndex(ReadCatalogue(), 7, "Four"), 7);
    ::DeleteFileA(kCatalogueFile);
}

// 40 section names of 99 bytes overflow the list of 3000 bytes.
TEST(CatalogueTest, SectionsPastTheSectionListAreNeitherReadNorCountedAndNoFileHasNoNames) {
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "[" + std::string(97, static_cast<char>('a' + i % 26)) + std::to_string(i % 10) +
                std::to_string(i / 10) + "]\r\nPrintName1=M" + std::to_string(i) + "\r\n";
    const std::string seen = Read(text);
    EXPECT_EQ(seen.rfind("0:M0 1:M1 ", 0), 0u) << seen;
    EXPECT_EQ(seen.find("M30 "), std::string::npos) << seen;
    ::DeleteFileA(kCatalogueFile);
    EXPECT_TRUE(ReadCatalogue().empty());
}

} // namespace
