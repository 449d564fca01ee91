// The driver catalogue: model names by section of the catalogue file, the
// section's position being the catalogue index.
#pragma once

#include "framework/afx_string.h"

#include <vector>

struct CatalogueEntry {
    int nIndex;
    CString strName;
};

// Every model name of the catalogue, in file order.
std::vector<CatalogueEntry> ReadCatalogue();

// The index of the last section that names strText; nSelection when none does.
int ResolveCatalogueIndex(const std::vector<CatalogueEntry> &entries, int nSelection,
                          LPCSTR lpszText);
