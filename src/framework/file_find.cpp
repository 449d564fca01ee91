#include "framework/file_find.h"

#include "system/platform.h"

#include <cstring>

BOOL CFileFind::FindFile(LPCSTR pstrName) {
    Close();
    m_hFind = Platform().FindFirstFileA(pstrName, &m_next);
    m_bHasNext = m_hFind != INVALID_HANDLE_VALUE;
    return m_bHasNext;
}

// Like the framework it imitates: returns whether another entry follows the
// one it makes current.
BOOL CFileFind::FindNextFile() {
    if (!m_bHasNext)
        return FALSE;
    m_found = m_next;
    m_bHasNext = Platform().FindNextFileA(m_hFind, &m_next);
    return m_bHasNext;
}

void CFileFind::Close() {
    if (m_hFind != INVALID_HANDLE_VALUE)
        Platform().FindClose(m_hFind);
    m_hFind = INVALID_HANDLE_VALUE;
    m_bHasNext = FALSE;
}

BOOL CFileFind::IsDots() const {
    return std::strcmp(m_found.cFileName, ".") == 0 || std::strcmp(m_found.cFileName, "..") == 0;
}
