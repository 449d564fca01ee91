#include "shell/package_staging.h"

#include "install/package_layout.h"
#include "shell/protected_folder.h"
#include "shell/tree_removal.h"
#include "res/texts.h"
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

CString ReasonFor(DWORD dwError) {
    for (const ReasonText &reason : kReasonTexts) {
        if (reason.dwError == dwError)
            return reason.pszText;
    }
    CString strNumber;
    strNumber.Format(kErrorNumber, dwError);
    return strNumber;
}

bool NameTaken(DWORD dwError) {
    return dwError == ERROR_ALREADY_EXISTS || dwError == ERROR_FILE_EXISTS;
}

} // namespace

CString CPackageStaging::Prepare() {
    static_assert(std::size(kDestinations) == kDestinationCount, "one state a destination");
    CString strStatus;
    for (int i = 0; i < kDestinationCount && strStatus.IsEmpty(); ++i) {
        const LPCSTR pszPath = kDestinations[i].pszPath;
        if (!ActsOnLinkItself(pszPath)) {
            strStatus.Format(kLinkFollowed, pszPath);
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
        if (NameTaken(dwError))
            strStatus.Format(kNoFreeName, pszPath);
        else if (!bFree)
            strStatus.Format(kNotSetAside, pszPath, static_cast<LPCSTR>(ReasonFor(dwError)));
    }
    for (int i = 0; i < kDestinationCount && strStatus.IsEmpty(); ++i) {
        if (!kDestinations[i].bFolder)
            continue;
        const DWORD dwError = CreateProtectedFolder(kDestinations[i].pszPath);
        m_bClaimed[i] = dwError == 0;
        if (dwError != 0)
            strStatus.Format(kNotCreated, kDestinations[i].pszPath,
                             static_cast<LPCSTR>(ReasonFor(dwError)));
    }
    if (!strStatus.IsEmpty())
        CleanUpAndPutBack();
    return strStatus;
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
