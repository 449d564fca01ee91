// Unpacking of the driver package at start-up, into destinations of its own.
#include "shell/package_unpack.h"

#include "install/package_layout.h"
#include "res/texts.h"
#include "system/platform.h"

namespace {

constexpr int kCurrentDirectorySize = 260;

} // namespace

CString UnpackPackage(CArchiveExtractor &extractor, CPackageStaging &staging) {
    // What stands at the destinations steps aside even without a package,
    // so nothing a user put there is ever read as ours.
    CString strStatus = staging.Prepare();
    if (!strStatus.IsEmpty())
        return strStatus;
    char szDirectory[kCurrentDirectorySize] = {};
    const DWORD dwLength = Platform().GetCurrentDirectoryA(kCurrentDirectorySize, szDirectory);
    // A longer directory is not read at all, so no cut path is ever tried.
    const CString strPackage = dwLength > 0 && dwLength < kCurrentDirectorySize
                                   ? CString(szDirectory) + "\\" + kPackageFile
                                   : CString();
    if (strPackage.IsEmpty() || !extractor.Open(strPackage)) {
        strStatus = kPackageNotRead;
    } else {
        const int nResult = extractor.Extract(strPackage, kPackageDrive);
        if (nResult != 0) {
            staging.CleanUpAndPutBack();
            strStatus.Format(kUnpackFailed, nResult);
        }
    }
    extractor.FreeArchiveLibrary();
    return strStatus;
}
