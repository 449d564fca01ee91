// Unpacking of the driver package at start-up and its removal at the end.
#include "shell/package_unpack.h"

#include "install/package_layout.h"
#include "system/platform.h"

#include <iterator>

namespace {

constexpr int kCurrentDirectorySize = 260;
const char *const kUnpackedPaths[] = {kLabelTree, kReceiptTree, kCatalogueFile};

} // namespace

void UnpackPackage(CArchiveExtractor &extractor, CPackageFootprint &footprint) {
    char szDirectory[kCurrentDirectorySize] = {};
    const DWORD dwLength = Platform().GetCurrentDirectoryA(kCurrentDirectorySize, szDirectory);
    // A longer directory is not read at all, so no cut path is ever tried.
    if (dwLength == 0 || dwLength >= kCurrentDirectorySize)
        return;
    const CString strPackage = CString(szDirectory) + "\\" + kPackageFile;
    footprint.Record(kUnpackedPaths, static_cast<int>(std::size(kUnpackedPaths)));
    extractor.Extract(strPackage, kPackageDrive);
    extractor.FreeArchiveLibrary();
}

void RemoveUnpackedPackage(const CPackageFootprint &footprint) {
    if (!footprint.Recorded())
        return;
    RemoveDirectoryTree(kLabelTree, footprint);
    RemoveDirectoryTree(kReceiptTree, footprint);
    if (!footprint.Existed(kCatalogueFile))
        Platform().DeleteFileA(kCatalogueFile);
}
