// CString and CStringArray: 8-bit strings in the system's ANSI code page.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <string>
#include <vector>

class CString {
public:
    // Constructors
    CString() = default;
    CString(LPCSTR psz) : m_str(psz ? psz : "") {}
    CString(LPCSTR pch, int nLength) : m_str(pch, static_cast<size_t>(nLength)) {}

    // Attributes
    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    operator LPCSTR() const { return m_str.c_str(); }
    char operator[](int nIndex) const { return m_str[static_cast<size_t>(nIndex)]; }

    // Operations
    void Empty() { m_str.clear(); }
    CString &operator+=(LPCSTR psz) {
        m_str += psz;
        return *this;
    }
    friend CString operator+(const CString &a, LPCSTR b) {
        CString r(a);
        r += b;
        return r;
    }
    friend CString operator+(LPCSTR a, const CString &b) {
        CString r(a);
        r += b;
        return r;
    }
    friend CString operator+(const CString &a, const CString &b) {
        CString r(a);
        r += b;
        return r;
    }
    friend bool operator==(const CString &a, const CString &b) { return a.m_str == b.m_str; }
    friend bool operator!=(const CString &a, const CString &b) { return a.m_str != b.m_str; }
    friend bool operator==(const CString &a, LPCSTR b) { return a.m_str == b; }
    friend bool operator!=(const CString &a, LPCSTR b) { return a.m_str != b; }
    void Format(LPCSTR pszFormat, ...);
    void FormatV(LPCSTR pszFormat, va_list args);

private:
    std::string m_str;
};

// A text made from a format, as Format makes it.
CString Formatted(LPCSTR pszFormat, ...);

class CStringArray {
public:
    // Attributes
    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_items.size()); }
    const CString &GetAt(INT_PTR nIndex) const { return m_items[static_cast<size_t>(nIndex)]; }
    const CString &operator[](INT_PTR nIndex) const { return GetAt(nIndex); }

    // Operations
    INT_PTR Add(const CString &str) {
        m_items.push_back(str);
        return GetSize() - 1;
    }
    void RemoveAll() { m_items.clear(); }

private:
    std::vector<CString> m_items;
};
