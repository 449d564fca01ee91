// The driver catalogue: model names by section of the catalogue file.
#include "shell/driver_catalogue.h"

#include "install/package_layout.h"
#include "system/platform.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int kSectionListSize = 3000;
constexpr int kMaxModelNames = 50;
constexpr int kModelNameSize = 128;

} // namespace

// Section names are used in place, so a long one is never copied.
std::vector<CatalogueEntry> ReadCatalogue() {
    std::vector<CatalogueEntry> entries;
    char sections[kSectionListSize] = {};
    Platform().GetPrivateProfileSectionNamesA(sections, kSectionListSize, kCatalogueFile);
    int nIndex = -1;
    int nStart = 0;
    for (int p = 0; p < kSectionListSize - 1; ++p) {
        if (sections[p] != '\0')
            continue;
        const char *pszSection = sections + nStart;
        ++nIndex;
        for (int k = 1; k <= kMaxModelNames; ++k) {
            char szKey[16];
            std::snprintf(szKey, sizeof(szKey), "PrintName%d", k);
            char szName[kModelNameSize] = {};
            if (Platform().GetPrivateProfileStringA(pszSection, szKey, "", szName, kModelNameSize,
                                                    kCatalogueFile) == 0)
                break;
            entries.push_back({nIndex, szName});
        }
        if (sections[p + 1] == '\0')
            break;
        nStart = p + 1;
    }
    return entries;
}

int ResolveCatalogueIndex(const std::vector<CatalogueEntry> &entries, int nSelection,
                          LPCSTR lpszText) {
    int nResult = nSelection;
    for (const CatalogueEntry &entry : entries) {
        if (std::strcmp(entry.strName, lpszText) == 0)
            nResult = entry.nIndex;
    }
    return nResult;
}
