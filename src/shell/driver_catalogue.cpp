// The driver catalogue: model names by section of the catalogue file.
#include "shell/driver_catalogue.h"

#include "install/package_layout.h"
#include "shell/catalogue_rules.h"
#include "system/platform.h"

std::vector<CatalogueEntry> ReadCatalogue() {
    std::vector<CatalogueEntry> entries;
    ReadCatalogueWith(
        [](char *pszBuffer, int nSize) {
            Platform().GetPrivateProfileSectionNamesA(pszBuffer, nSize, kCatalogueFile);
        },
        [](const char *pszSection, const char *pszKey, char *pszBuffer, int nSize) {
            return Platform().GetPrivateProfileStringA(pszSection, pszKey, "", pszBuffer, nSize,
                                                       kCatalogueFile);
        },
        [&entries](int nIndex, const char *pszName) {
            entries.push_back({nIndex, pszName});
        });
    return entries;
}

int ResolveCatalogueIndex(const std::vector<CatalogueEntry> &entries, int nSelection,
                          LPCSTR lpszText) {
    return LastIndexNaming(entries, nSelection, lpszText);
}
