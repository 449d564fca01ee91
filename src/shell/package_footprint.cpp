#include "shell/package_footprint.h"

#include "framework/file_find.h"
#include "system/platform.h"

namespace {

constexpr char kSearchPattern[] = "%s//*.*";
constexpr char kEntryPath[] = "%s//%s";

// Calls visit(entry path, is directory) for each entry of a directory, the
// paths formed as the clean-up forms them.
template <class Visitor> void ForEachEntry(LPCSTR lpszPath, Visitor visit) {
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
        visit(strEntry, finder.IsDirectory());
    }
}

} // namespace

void CPackageFootprint::Record(const char *const *ppszPaths, int nCount) {
    m_existing.clear();
    for (int i = 0; i < nCount; ++i)
        RecordTree(ppszPaths[i]);
    m_bRecorded = true;
}

void CPackageFootprint::RecordTree(LPCSTR lpszPath) {
    const DWORD dwAttributes = Platform().GetFileAttributesA(lpszPath);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES)
        return;
    m_existing.insert(Key(lpszPath));
    if (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        ForEachEntry(lpszPath, [this](const CString &strEntry, BOOL bDirectory) {
            if (bDirectory)
                RecordTree(strEntry);
            else
                m_existing.insert(Key(strEntry));
        });
    }
}

bool CPackageFootprint::Existed(LPCSTR lpszPath) const {
    return m_existing.count(Key(lpszPath)) != 0;
}

// File names compare without regard to letter case, as Windows does.
std::string CPackageFootprint::Key(LPCSTR lpszPath) {
    std::string key(lpszPath);
    for (char &c : key) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

bool RemoveDirectoryTree(LPCSTR lpszPath, const CPackageFootprint &before) {
    ForEachEntry(lpszPath, [&before](const CString &strEntry, BOOL bDirectory) {
        if (bDirectory)
            RemoveDirectoryTree(strEntry, before);
        else if (!before.Existed(strEntry))
            Platform().DeleteFileA(strEntry);
    });
    return !before.Existed(lpszPath) && Platform().RemoveDirectoryA(lpszPath);
}
