// CFileFind: a directory search, one entry at a time.
#pragma once

#include "framework/afx_string.h"

class CFileFind {
public:
    CFileFind() = default;
    ~CFileFind() { Close(); }
    CFileFind(const CFileFind &) = delete;
    CFileFind &operator=(const CFileFind &) = delete;

    // Operations
    BOOL FindFile(LPCSTR pstrName);
    BOOL FindNextFile();
    void Close();

    // Attributes of the current entry
    CString GetFileName() const { return CString(m_found.cFileName); }
    BOOL MatchesMask(DWORD dwMask) const { return (m_found.dwFileAttributes & dwMask) != 0; }
    BOOL IsDots() const;

private:
    HANDLE m_hFind = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA m_found = {};
    WIN32_FIND_DATAA m_next = {};
    BOOL m_bHasNext = FALSE;
};
