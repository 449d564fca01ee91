// CArchiveExtractor: the run-time-loaded archive library that unpacks the
// driver package.
#pragma once

#include <windows.h>

// The command the package is unpacked with, and the pauses around the
// library's calls that every start-up pays.
constexpr char kExtractCommandFormat[] = "x -y \"%s\" -o\"%s\" -hide";
constexpr DWORD kPauseAfterLoadMs = 10;
constexpr DWORD kPauseBeforeExtractMs = 100;
constexpr DWORD kPauseAfterReleaseMs = 10;

class CArchiveExtractor {
public:
    CArchiveExtractor() = default;
    virtual ~CArchiveExtractor() { FreeArchiveLibrary(); }
    CArchiveExtractor(const CArchiveExtractor &) = delete;
    CArchiveExtractor &operator=(const CArchiveExtractor &) = delete;

    BOOL LoadArchiveLibrary();
    void FreeArchiveLibrary();
    // Loads the library; true when it and the archive are there.
    BOOL Open(LPCSTR lpszArchive);
    // Unpacks the opened archive; the library's result, 0 on success.
    int Extract(LPCSTR lpszArchive, LPCSTR lpszDestination);

    HMODULE m_hModule = nullptr;
    FARPROC m_pfnSevenZip = nullptr;
    FARPROC m_pfnSetOwnerWindowEx = nullptr;
    FARPROC m_pfnKillOwnerWindowEx = nullptr;
    HWND m_hOwner = nullptr;
};
