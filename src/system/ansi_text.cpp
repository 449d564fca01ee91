#include "system/ansi_text.h"

#include "system/platform.h"

#include <cstring>

namespace {

LPCSTR Find(LPCSTR lpszText, LPCSTR lpszSet, bool bLast) {
    LPCSTR lpszFound = nullptr;
    LPCSTR lpsz = lpszText;
    while (*lpsz != '\0' && (lpszFound == nullptr || bLast)) {
        if (std::strchr(lpszSet, *lpsz) != nullptr)
            lpszFound = lpsz;
        const LPCSTR lpszNext = Platform().CharNextExA(CP_ACP, lpsz, 0);
        lpsz = lpszNext > lpsz ? lpszNext : lpsz + 1;
    }
    return lpszFound;
}

} // namespace

LPCSTR FindAnsiCharacter(LPCSTR lpszText, LPCSTR lpszSet) {
    return Find(lpszText, lpszSet, false);
}

LPCSTR FindLastAnsiCharacter(LPCSTR lpszText, LPCSTR lpszSet) {
    return Find(lpszText, lpszSet, true);
}
