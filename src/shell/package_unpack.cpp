// Unpacking of the driver package at start-up, into destinations of its own.
#include "shell/package_unpack.h"

#include "install/package_layout.h"
#include "res/texts.h"
#include "system/platform.h"

namespace {

constexpr int kCurrentDirectorySize = 260;

CString ReasonFor(DWORD dwError) {
    for (const ReasonText &reason : kReasonTexts) {
        if (reason.dwError == dwError)
            return reason.pszText;
    }
    return Formatted(kErrorNumber, dwError);
}

} // namespace

StepResult UnpackPackage(CArchiveExtractor &extractor, CPackageStaging &staging) {
    // What stands at the destinations steps aside even without a package,
    // so nothing a user put there is ever read as ours.
    StepResult result = staging.Prepare();
    if (!result.Succeeded())
        return result;
    char szDirectory[kCurrentDirectorySize] = {};
    const DWORD dwLength = Platform().GetCurrentDirectoryA(kCurrentDirectorySize, szDirectory);
    // A longer directory is not read at all, so no cut path is ever tried.
    const CString strPackage = dwLength > 0 && dwLength < kCurrentDirectorySize
                                   ? CString(szDirectory) + "\\" + kPackageFile
                                   : CString();
    if (strPackage.IsEmpty() || !extractor.Open(strPackage)) {
        result = StepResult::Failure(ERROR_SUCCESS, kPackageReadStep);
    } else {
        const int nResult = extractor.Extract(strPackage, kPackageDrive);
        if (nResult != 0) {
            staging.CleanUpAndPutBack();
            result = StepResult::Failure(static_cast<DWORD>(nResult), kPackageExtractStep);
        }
    }
    extractor.FreeArchiveLibrary();
    return result;
}

CString DescribeUnpackFailure(const StepResult &result, const CPackageStaging &staging) {
    const LPCSTR pszPath = staging.FailedPath();
    switch (result.nStep) {
    case kStagingLinkStep:
        return Formatted(kLinkFollowed, pszPath);
    case kStagingNoFreeNameStep:
        return Formatted(kNoFreeName, pszPath);
    case kStagingSetAsideStep:
        return Formatted(kNotSetAside, pszPath, static_cast<LPCSTR>(ReasonFor(result.dwError)));
    case kStagingCreateStep:
        return Formatted(kNotCreated, pszPath, static_cast<LPCSTR>(ReasonFor(result.dwError)));
    case kPackageReadStep:
        return kPackageNotRead;
    default: // the extraction, with the library's error
        return Formatted(kUnpackFailed, static_cast<int>(result.dwError));
    }
}
