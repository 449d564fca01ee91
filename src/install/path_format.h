// Paths are written into fixed buffers whole or not at all: a cut path
// would name another file.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>

// False when the text would not fit; the buffer then holds nothing to use.
template <std::size_t N> bool FormatPath(char (&szPath)[N], const char *pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    const int nLength = std::vsnprintf(szPath, N, pszFormat, args);
    va_end(args);
    return nLength >= 0 && static_cast<std::size_t>(nLength) < N;
}
