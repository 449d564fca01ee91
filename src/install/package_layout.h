// Where the driver package puts things: the names the package is built with
// and the paths the program reads them from once it is unpacked into C:\.
#pragma once

#define PACKAGE_DRIVE "C:\\"
#define RECEIPT_FOLDER "Ticket"
#define LABEL_FOLDER "Barcode"
#define CATALOGUE_NAME "DriverName.cfg"

constexpr char kPackageFile[] = "DriverData.Drv";
constexpr char kPackageDrive[] = PACKAGE_DRIVE;
constexpr char kReceiptFolder[] = RECEIPT_FOLDER;
constexpr char kLabelFolder[] = LABEL_FOLDER;
constexpr char kCatalogueName[] = CATALOGUE_NAME;

// Below each tree: one folder per width, and the label files of both.
constexpr char kX86Folder[] = "x86";
constexpr char kX64Folder[] = "x64";
constexpr char kCommonFolder[] = "Common";

constexpr char kReceiptTree[] = PACKAGE_DRIVE RECEIPT_FOLDER;
constexpr char kLabelTree[] = PACKAGE_DRIVE LABEL_FOLDER;
constexpr char kCatalogueFile[] = PACKAGE_DRIVE CATALOGUE_NAME;

// The extensions of a receipt model's GPD and of its group's DLL.
constexpr char kGpdExtension[] = ".GPD";
constexpr char kDllExtension[] = ".DLL";

// The plug-in of the receipt models that carry one.
constexpr char kPluginStem[] = "XOEMUNI";
constexpr char kPluginDllExtension[] = ".dll";
constexpr char kPluginIniExtension[] = ".ini";

// The label models' help file, and the extensions of each model's data
// files beside it in the common folder.
constexpr char kLabelHelpFile[] = "THERMAL.chm";
constexpr char kLabelBa0Extension[] = ".BA0";
constexpr char kLabelDatExtension[] = ".DAT";
constexpr char kLabelPp0Extension[] = ".PP0";
