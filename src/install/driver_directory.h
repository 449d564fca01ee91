// The spooler's driver directory, into which both installation sequences
// stage their files, the environment it belongs to, and the registration
// of the staged driver.
#pragma once

#include "install/install_host.h"
#include "system/platform.h"

#include <cstddef>
#include <windows.h>
#include <winspool.h>

constexpr int kDriverDirectorySize = 255;

// False, with the error to show, when the spooler names no directory:
// the files would otherwise land in the current directory.
bool QueryDriverDirectory(LPCSTR pszEnvironment, char (&szDirectory)[kDriverDirectorySize],
                          DWORD &dwError);

// Says that the driver is being added, its files all staged.
void ShowAddingDriver(LPCSTR pszDriverName, IInstallHost &host);

// Copies each file to its place in the driver directory, showing each
// destination, then says that the driver is being added.
template <std::size_t N, std::size_t M>
void StageDriverFiles(const char (&sources)[N][M], const char (&staged)[N][M], LPCSTR pszDriverName,
                      IInstallHost &host) {
    for (std::size_t i = 0; i < N; ++i) {
        Platform().CopyFileA(sources[i], staged[i], FALSE);
        host.ShowStatus(staged[i]);
    }
    ShowAddingDriver(pszDriverName, host);
}

// Registers the record, of version 2 on Windows NT 4.0 and 3 elsewhere, and
// says so; false with the spooler's error otherwise.
bool AddDriverRecord(DRIVER_INFO_3A &info, bool bWindowsNt, IInstallHost &host, DWORD &dwError);
