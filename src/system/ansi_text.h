// Text in the process's ANSI code page, stepped through by character: the
// second byte of a double-byte character is never taken for a character of
// its own (in code page 936 it may be 0x5C, a backslash).
#pragma once

#include <windows.h>

// The first character of lpszText that is one of the single-byte
// characters of lpszSet, or null.
LPCSTR FindAnsiCharacter(LPCSTR lpszText, LPCSTR lpszSet);
// The last such character, or null.
LPCSTR FindLastAnsiCharacter(LPCSTR lpszText, LPCSTR lpszSet);
