// A folder that only SYSTEM and the administrators can touch, for what the
// elevated program stages under the root of the drive.
#pragma once

#include <windows.h>

// Creates the folder new: owned by the administrators, who and SYSTEM alone
// have full control, passed on to everything below it. Where the system has
// no security descriptors (95, 98, Me) a plain folder. Returns 0 or the error.
DWORD CreateProtectedFolder(LPCSTR lpszPath);
