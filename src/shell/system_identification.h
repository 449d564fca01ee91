// System identification: the Windows version and the bit width of the system.
#pragma once

#include "framework/afx_string.h"

// Version code of Windows NT 4.0, which takes drivers of record version 2.
constexpr int kVersionCodeWindowsNt = 4;
// Version code of Windows 7, where the USB detection restarts no spooler.
constexpr int kVersionCodeWindows7 = 9;

// 1 to 12 for the versions the program names, 5 for a platform of neither
// Windows family, -1 for any other.
int QueryWindowsVersionCode();
// TRUE when this 32-bit process runs on 64-bit Windows.
BOOL QueryWow64();
// The status line that names the system.
CString DescribeSystem(int nVersionCode, BOOL bWow64);
