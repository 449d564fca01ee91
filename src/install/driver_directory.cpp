// The spooler's driver directory and the environment it belongs to.
#include "install/driver_directory.h"

#include "framework/afx_string.h"
#include "install/install_constants.h"
#include "system/platform.h"

#include <cstring>

namespace {

constexpr DWORD kDriverDirectoryLevel = 1;

} // namespace

bool QueryDriverDirectory(LPCSTR pszEnvironment, char (&szDirectory)[kDriverDirectorySize],
                          DWORD &dwError) {
    PlatformApi &api = Platform();
    std::memset(szDirectory, 0, sizeof(szDirectory));
    DWORD cbNeeded = 0;
    // The spooler only reads the environment.
    if (!api.GetPrinterDriverDirectoryA(
            nullptr, const_cast<LPSTR>(pszEnvironment), kDriverDirectoryLevel,
            reinterpret_cast<LPBYTE>(szDirectory), kDriverDirectorySize, &cbNeeded)) {
        dwError = api.GetLastError();
        return false;
    }
    if (szDirectory[0] == '\0' || std::memchr(szDirectory, '\0', kDriverDirectorySize) == nullptr) {
        dwError = ERROR_PATH_NOT_FOUND;
        return false;
    }
    return true;
}

void ShowAddingDriver(LPCSTR pszDriverName, IInstallHost &host) {
    host.SetProgress(kProgressStaged);
    host.ShowStatus(kAddingDriverStatus + CString(pszDriverName));
}

bool AddDriverRecord(DRIVER_INFO_3A &info, bool bWindowsNt, IInstallHost &host, DWORD &dwError) {
    PlatformApi &api = Platform();
    info.cVersion = bWindowsNt ? kWindowsNtDriverVersion : kDriverVersion;
    // The spooler only reads the texts it is handed.
    info.pDefaultDataType = const_cast<LPSTR>(kRawDatatype);
    const BOOL bAdded = api.AddPrinterDriverExA(
        nullptr, kDriverInfoLevel, reinterpret_cast<LPBYTE>(&info), APD_COPY_NEW_FILES);
    dwError = api.GetLastError();
    if (bAdded != TRUE)
        return false;
    host.ShowStatus(kDriverAddedHead + CString(info.pName) + kAddedTail);
    return true;
}
