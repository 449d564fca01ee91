// The spooler's driver directory, into which both installation sequences
// stage their files, and the environment it belongs to.
#pragma once

#include <windows.h>

constexpr int kDriverDirectorySize = 255;

// "Windows x64" on 64-bit Windows, else "Windows NT x86".
LPCSTR EnvironmentFor(BOOL bWow64);

// False, with the error to show, when the spooler names no directory:
// the files would otherwise land in the current directory.
bool QueryDriverDirectory(LPCSTR pszEnvironment, char (&szDirectory)[kDriverDirectorySize],
                          DWORD &dwError);
