// The drivers of the package: display names, which are also the names the
// drivers are registered under, and the files each one is made of. Row i of
// the receipt tables and row i - 33 of the label tables belong to catalogue
// index i; the package is built from these tables. The receipt models form
// groups, and the group picks the DLL a model shares.
#pragma once

#include <iterator>

constexpr int kReceiptDriverCount = 33;
constexpr int kReceiptFileBaseRows = 36;
constexpr int kReceiptGroupDllRows = 6;
constexpr int kUnidrvCoreFileCount = 6;
constexpr int kLabelDriverCount = 5;
constexpr int kLabelFileRows = 30;
constexpr int kCatalogueSize = kReceiptDriverCount + kLabelDriverCount;

// The receipt models form four consecutive groups of these sizes.
constexpr int kReceiptGroupSizes[] = {15, 7, 5, 6};
static_assert(kReceiptGroupSizes[0] + kReceiptGroupSizes[1] + kReceiptGroupSizes[2] +
                      kReceiptGroupSizes[3] ==
                  kReceiptDriverCount,
              "the groups hold every receipt model");

// The group of a receipt model's catalogue index, counted from 1.
constexpr int ReceiptGroupOf(int nIndex) {
    int nEnd = 0;
    int nGroup = 0;
    for (const int nSize : kReceiptGroupSizes) {
        ++nGroup;
        nEnd += nSize;
        if (nIndex < nEnd)
            break;
    }
    return nGroup;
}

// The one model of group 2 with a DLL of its own, and the models that carry
// the plug-in.
constexpr int kOwnDllModel = 19;
static_assert(ReceiptGroupOf(kOwnDllModel) == 2, "the model with a DLL of its own is in group 2");
constexpr int kFirstPluginModel = 30;
constexpr int kLastPluginModel = 32;
static_assert(kLastPluginModel < kReceiptDriverCount, "plug-in models are receipt models");

extern const char *const ReceiptDriverNames[kReceiptDriverCount];
// GPD stems; the rows past the receipt drivers are not read.
extern const char *const ReceiptFileBases[kReceiptFileBaseRows];
// DLL stems shared by a group of models; row 4 is not read.
extern const char *const ReceiptGroupDlls[kReceiptGroupDllRows];
// Rows of ReceiptGroupDlls by model group, counted from 1, and the row of
// the model with a DLL of its own.
constexpr int kGroupDllRows[] = {0, 1, 3, 5};
constexpr int kOwnDllRow = 2;
static_assert(std::size(kGroupDllRows) == std::size(kReceiptGroupSizes), "a DLL for every group");
extern const char *const UnidrvCoreFiles[kUnidrvCoreFileCount];

extern const char *const LabelDriverNames[kLabelDriverCount];
// Stems of a label model's .BA0, .DAT and .PP0 files.
extern const char *const LabelFileBases[kLabelDriverCount];
// Row 0 language monitor, 1 driver, 2 user interface, 3 to 29 language resources.
extern const char *const LabelFilesX86[kLabelFileRows];
extern const char *const LabelFilesX64[kLabelFileRows];
