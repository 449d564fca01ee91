#include "shell/archive_extractor.h"

#include "system/platform.h"

void CArchiveExtractor::FreeArchiveLibrary() {
    if (m_hModule != nullptr)
        Platform().FreeLibrary(m_hModule);
    m_hModule = nullptr;
}

BOOL CArchiveExtractor::LoadArchiveLibrary() { return FALSE; }

BYTE CArchiveExtractor::Extract(LPCSTR, LPCSTR) { return 0; }
