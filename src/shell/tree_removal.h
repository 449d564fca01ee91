// Removal of a folder the program staged, whatever was put into it since,
// and the check that keeps renames and removals off what a link points to.
#pragma once

#include <windows.h>

// Removes lpszPath and, depth first, everything below it. A link or junction
// is removed itself, never what it points to; the walk stops at a fixed
// depth and entry count, so no loop or flood below the folder keeps it going.
void RemoveStagedTree(LPCSTR lpszPath);

// Windows opens a link or junction itself when asked to, and renames or
// removes the link; a system that opens its target instead (Wine) would act
// on that. False for such a link, true for anything else.
bool ActsOnLinkItself(LPCSTR lpszPath);
