#include "shell/tree_removal.h"

#include "framework/file_find.h"
#include "system/platform.h"

namespace {

constexpr char kSearchPattern[] = "%s//*.*";
constexpr char kEntryPath[] = "%s//%s";
// The package is two levels deep and holds a few hundred files.
constexpr int kMaxDepth = 8;
constexpr int kMaxEntries = 10000;

class CTreeRemoval {
public:
    void Remove(LPCSTR lpszPath, BOOL bFolder, BOOL bLink, int nDepth);

private:
    int m_nEntries = 0;
};

void CTreeRemoval::Remove(LPCSTR lpszPath, BOOL bFolder, BOOL bLink, int nDepth) {
    if (++m_nEntries > kMaxEntries || (bLink && !ActsOnLinkItself(lpszPath)))
        return;
    if (!bFolder) {
        Platform().DeleteFileA(lpszPath);
        return;
    }
    if (!bLink && nDepth < kMaxDepth) {
        CString strPattern;
        strPattern.Format(kSearchPattern, lpszPath);
        CFileFind finder;
        BOOL bWorking = finder.FindFile(strPattern);
        while (bWorking) {
            bWorking = finder.FindNextFile();
            if (finder.IsDots())
                continue;
            CString strEntry;
            strEntry.Format(kEntryPath, lpszPath, static_cast<LPCSTR>(finder.GetFileName()));
            Remove(strEntry, finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY),
                   finder.MatchesMask(FILE_ATTRIBUTE_REPARSE_POINT), nDepth + 1);
        }
    }
    // A link to a folder goes as an empty folder does, its target untouched.
    Platform().RemoveDirectoryA(lpszPath);
}

} // namespace

bool ActsOnLinkItself(LPCSTR lpszPath) {
    const DWORD dwAttributes = Platform().GetFileAttributesA(lpszPath);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES || !(dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return true;
    const HANDLE hLink = Platform().CreateFileA(
        lpszPath, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (hLink == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool bItself = Platform().GetFileInformationByHandle(hLink, &info) &&
                         (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    Platform().CloseHandle(hLink);
    return bItself;
}

void RemoveStagedTree(LPCSTR lpszPath) {
    const DWORD dwAttributes = Platform().GetFileAttributesA(lpszPath);
    if (dwAttributes != INVALID_FILE_ATTRIBUTES)
        CTreeRemoval().Remove(lpszPath, (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                              (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0, 0);
}
