// What differs between the program's widths and the system's: the driver
// environment, the package's folder, the label files and where the
// language monitor goes. One row per case, chosen once.
#pragma once

struct WidthProfile {
    const char *pszEnvironment;
    // The folder of the package's trees the files are taken from.
    const char *pszPackageFolder;
    const char *const *labelFiles;
    // The 32-bit program on 64-bit Windows sees the 32-bit system folder as
    // System32; the monitor goes to the Windows directory's SysWOW64 and is
    // named by its full path.
    bool bMonitorInSysWow64;
    // Windows looks for a monitor's DLL in the system directory by its name.
    bool bMonitorByFileName;
};

// The row for this program on a system that is 64-bit when bWow64 is true.
const WidthProfile &WidthProfileOf(bool bWow64);
