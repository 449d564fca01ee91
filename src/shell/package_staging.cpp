#include "shell/package_staging.h"

#include "install/package_layout.h"
#include "shell/protected_folder.h"
#include "shell/tree_removal.h"
#include "system/platform.h"

#include <iterator>

namespace {

struct Destination {
    LPCSTR pszPath;
    bool bFolder;
};
const Destination kDestinations[] = {
    {kReceiptTree, true}, {kLabelTree, true}, {kCatalogueFile, false}};

constexpr char kAsideName[] = "%s (set aside %d)";
constexpr int kAsideNames = 100;

bool NameTaken(DWORD dwError) {
    return dwError == ERROR_ALREADY_EXISTS || dwError == ERROR_FILE_EXISTS;
}

} // namespace

StepResult CPackageStaging::Prepare() {
    static_assert(std::size(kDestinations) == kDestinationCount, "one state a destination");
    StepResult result;
    for (int i = 0; i < kDestinationCount && result.Succeeded(); ++i) {
        m_nFailed = i;
        const LPCSTR pszPath = kDestinations[i].pszPath;
        if (!ActsOnLinkItself(pszPath)) {
            result = StepResult::Failure(ERROR_SUCCESS, kStagingLinkStep);
            break;
        }
        // The rename moves a link or junction itself, and fails on a name taken.
        DWORD dwError = ERROR_FILE_EXISTS;
        for (int n = 1; n <= kAsideNames && NameTaken(dwError); ++n) {
            m_strAside[i].Format(kAsideName, pszPath, n);
            dwError = Platform().MoveFileA(pszPath, m_strAside[i]) ? 0 : Platform().GetLastError();
        }
        if (dwError != 0)
            m_strAside[i].Empty();
        const bool bFree =
            dwError == 0 || dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND;
        m_bClaimed[i] = bFree && !kDestinations[i].bFolder;
        if (!bFree)
            result = StepResult::Failure(dwError, NameTaken(dwError) ? kStagingNoFreeNameStep
                                                                     : kStagingSetAsideStep);
    }
    for (int i = 0; i < kDestinationCount && result.Succeeded(); ++i) {
        if (!kDestinations[i].bFolder)
            continue;
        m_nFailed = i;
        const DWORD dwError = CreateProtectedFolder(kDestinations[i].pszPath);
        m_bClaimed[i] = dwError == 0;
        if (dwError != 0)
            result = StepResult::Failure(dwError, kStagingCreateStep);
    }
    if (!result.Succeeded())
        CleanUpAndPutBack();
    return result;
}

LPCSTR CPackageStaging::FailedPath() const {
    return kDestinations[m_nFailed].pszPath;
}

void CPackageStaging::CleanUpAndPutBack() {
    for (int i = 0; i < kDestinationCount; ++i) {
        if (m_bClaimed[i])
            RemoveStagedTree(kDestinations[i].pszPath);
        m_bClaimed[i] = false;
    }
    // One whose name something took meanwhile stays set aside.
    for (int i = 0; i < kDestinationCount; ++i) {
        if (!m_strAside[i].IsEmpty())
            Platform().MoveFileA(m_strAside[i], kDestinations[i].pszPath);
        m_strAside[i].Empty();
    }
}
