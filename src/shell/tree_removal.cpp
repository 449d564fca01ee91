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
    if (++m_nEntries > kMaxEntries)
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

void RemoveStagedTree(LPCSTR lpszPath) {
    const DWORD dwAttributes = Platform().GetFileAttributesA(lpszPath);
    if (dwAttributes != INVALID_FILE_ATTRIBUTES)
        CTreeRemoval().Remove(lpszPath, (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                              (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0, 0);
}
