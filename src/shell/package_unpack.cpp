// Unpacking of the driver package at start-up, into destinations of its own.
#include "shell/package_unpack.h"

#include "install/package_layout.h"
#include "system/platform.h"

namespace {

constexpr int kCurrentDirectorySize = 260;
constexpr char kUnpackFailed[] =
    "The driver package could not be unpacked (error %d). What was unpacked has been removed.";

} // namespace

CString UnpackPackage(CArchiveExtractor &extractor, CPackageStaging &staging) {
    char szDirectory[kCurrentDirectorySize] = {};
    const DWORD dwLength = Platform().GetCurrentDirectoryA(kCurrentDirectorySize, szDirectory);
    // A longer directory is not read at all, so no cut path is ever tried.
    if (dwLength == 0 || dwLength >= kCurrentDirectorySize)
        return CString();
    const CString strPackage = CString(szDirectory) + "\\" + kPackageFile;
    CString strStatus;
    if (extractor.Open(strPackage)) {
        strStatus = staging.Prepare();
        const int nResult = strStatus.IsEmpty() ? extractor.Extract(strPackage, kPackageDrive) : 0;
        if (nResult != 0) {
            staging.CleanUpAndPutBack();
            strStatus.Format(kUnpackFailed, nResult);
        }
    }
    extractor.FreeArchiveLibrary();
    return strStatus;
}
