// How the installer reads its catalogue, in terms of the two profile calls it
// makes, so that the package check reads a catalogue as the installer does:
// the section names into a buffer of fixed size, then in each section
// PrintName1, PrintName2 and so on up to the first that is missing or empty,
// at most kCatalogueMaxModelNames, each into a buffer of fixed size. A
// section's place in the list is the catalogue index of its models.
#pragma once

#include <cstdio>
#include <string_view>
#include <vector>

constexpr int kCatalogueSectionListSize = 3000;
constexpr int kCatalogueMaxModelNames = 50;
constexpr int kCatalogueModelNameSize = 128;
constexpr char kCatalogueKeyFormat[] = "PrintName%d";

// readSectionNames(buffer, size) fills the list as GetPrivateProfileSectionNamesA
// does; readKey(section, key, buffer, size) returns the length it read, as
// GetPrivateProfileStringA does with an empty default; offer(index, name) takes
// each model name in file order. Section names are used in place, so a long
// one is never copied.
template <class ReadSectionNames, class ReadKey, class Offer>
void ReadCatalogueWith(ReadSectionNames readSectionNames, ReadKey readKey, Offer offer) {
    char sections[kCatalogueSectionListSize] = {};
    readSectionNames(sections, kCatalogueSectionListSize);
    int nIndex = -1;
    int nStart = 0;
    for (int p = 0; p < kCatalogueSectionListSize - 1; ++p) {
        if (sections[p] != '\0')
            continue;
        const char *pszSection = sections + nStart;
        ++nIndex;
        for (int k = 1; k <= kCatalogueMaxModelNames; ++k) {
            char szKey[16];
            std::snprintf(szKey, sizeof(szKey), kCatalogueKeyFormat, k);
            char szName[kCatalogueModelNameSize] = {};
            if (readKey(pszSection, szKey, szName, kCatalogueModelNameSize) == 0)
                break;
            offer(nIndex, szName);
        }
        if (sections[p + 1] == '\0')
            break;
        nStart = p + 1;
    }
}

// The index of the last entry whose strName is text: a name in two sections
// installs the later one. nSelection when none is.
template <class Entry>
int LastIndexNaming(const std::vector<Entry> &entries, int nSelection, std::string_view text) {
    int nResult = nSelection;
    for (const Entry &entry : entries) {
        if (std::string_view(entry.strName) == text)
            nResult = entry.nIndex;
    }
    return nResult;
}
