// The drivers of the package: display names, which are also the names the
// drivers are registered under, and the files each one is made of. Row i of
// the receipt tables and row i - 33 of the label tables belong to catalogue
// index i; the package is built from these tables.
#pragma once

constexpr int kReceiptDriverCount = 33;
constexpr int kReceiptFileBaseRows = 36;
constexpr int kReceiptGroupDllRows = 6;
constexpr int kUnidrvCoreFileCount = 6;
constexpr int kLabelDriverCount = 5;
constexpr int kLabelFileRows = 30;

extern const char *const ReceiptDriverNames[kReceiptDriverCount];
// GPD stems; the rows past the receipt drivers are not read.
extern const char *const ReceiptFileBases[kReceiptFileBaseRows];
// DLL stems shared by a group of models; row 4 is not read.
extern const char *const ReceiptGroupDlls[kReceiptGroupDllRows];
extern const char *const UnidrvCoreFiles[kUnidrvCoreFileCount];

extern const char *const LabelDriverNames[kLabelDriverCount];
// Stems of a label model's .BA0, .DAT and .PP0 files.
extern const char *const LabelFileBases[kLabelDriverCount];
// Row 0 language monitor, 1 driver, 2 user interface, 3 to 29 language resources.
extern const char *const LabelFilesX86[kLabelFileRows];
extern const char *const LabelFilesX64[kLabelFileRows];
