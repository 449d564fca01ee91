// Removal of a folder the program staged, whatever was put into it since.
#pragma once

#include <windows.h>

// Removes lpszPath and, depth first, everything below it. A link or junction
// is removed itself, never what it points to; the walk stops at a fixed
// depth and entry count, so no loop or flood below the folder keeps it going.
void RemoveStagedTree(LPCSTR lpszPath);
