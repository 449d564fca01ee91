// The archive library, loaded at run time for the one extraction of a run.
#include "shell/archive_extractor.h"

#include "system/ansi_text.h"
#include "system/platform.h"

#include <sevenzip.h>

#include <cstdio>
#include <vector>

namespace {

constexpr int kCommandSize = 1024;
constexpr DWORD kLibraryPathSize = MAX_PATH;
constexpr DWORD kOutputSize = 16384;
// The result of a command that was never given; the library's own are 0 and up.
constexpr int kCommandTooLong = -1;

BOOL CALLBACK ArchiveProgressProc(HWND, UINT, UINT, LPVOID) {
    return TRUE;
}

} // namespace

void CArchiveExtractor::FreeArchiveLibrary() {
    if (m_hModule != nullptr)
        Platform().FreeLibrary(m_hModule);
    m_hModule = nullptr;
}

// The library ships beside the program and is loaded from there by its full
// path, so that none of the same name is taken from anywhere else. One
// without all three functions is of no use and is let go at once.
BOOL CArchiveExtractor::LoadArchiveLibrary() {
    FreeArchiveLibrary();
    char szPath[kLibraryPathSize] = {};
    const DWORD dwLength = Platform().GetModuleFileNameA(nullptr, szPath, kLibraryPathSize);
    const LPCSTR lpszSlash =
        dwLength > 0 && dwLength < kLibraryPathSize ? FindLastAnsiCharacter(szPath, "\\") : nullptr;
    if (lpszSlash == nullptr)
        return FALSE;
    const size_t cchFolder = static_cast<size_t>(lpszSlash - szPath) + 1;
    const int nName =
        std::snprintf(szPath + cchFolder, kLibraryPathSize - cchFolder, "%s", SEVENZIP_DLL_NAME);
    if (nName < 0 || static_cast<size_t>(nName) >= kLibraryPathSize - cchFolder)
        return FALSE;
    m_hModule = Platform().LoadLibraryA(szPath);
    if (m_hModule == nullptr)
        return FALSE;
    m_pfnSevenZip = Platform().GetProcAddress(m_hModule, "SevenZip");
    m_pfnSetOwnerWindowEx = Platform().GetProcAddress(m_hModule, "SevenZipSetOwnerWindowEx");
    m_pfnKillOwnerWindowEx = Platform().GetProcAddress(m_hModule, "SevenZipKillOwnerWindowEx");
    if (m_pfnSevenZip == nullptr || m_pfnSetOwnerWindowEx == nullptr ||
        m_pfnKillOwnerWindowEx == nullptr) {
        FreeArchiveLibrary();
        return FALSE;
    }
    return TRUE;
}

BOOL CArchiveExtractor::Open(LPCSTR lpszArchive) {
    LoadArchiveLibrary();
    Platform().Sleep(kPauseAfterLoadMs);
    return m_hModule != nullptr &&
           Platform().GetFileAttributesA(lpszArchive) != INVALID_FILE_ATTRIBUTES;
}

int CArchiveExtractor::Extract(LPCSTR lpszArchive, LPCSTR lpszDestination) {
    char szCommand[kCommandSize] = {};
    const int nLength = std::snprintf(szCommand, sizeof(szCommand), kExtractCommandFormat,
                                      lpszArchive, lpszDestination);
    // A cut command would name another archive or destination.
    if (nLength < 0 || nLength >= kCommandSize)
        return kCommandTooLong;
    std::vector<char> output(kOutputSize + 1, '\0');

    ProcAs<LPSEVENZIPSETOWNERWINDOWEX>(m_pfnSetOwnerWindowEx)(m_hOwner, ArchiveProgressProc);
    Platform().Sleep(kPauseBeforeExtractMs);
    // The library's output, which nothing shows, tells no more than its result.
    const int nResult =
        ProcAs<LPSEVENZIP>(m_pfnSevenZip)(m_hOwner, szCommand, output.data(), kOutputSize);
    ProcAs<LPSEVENZIPKILLOWNERWINDOWEX>(m_pfnKillOwnerWindowEx)(m_hOwner);
    Platform().Sleep(kPauseAfterReleaseMs);
    return nResult;
}
