// An installation from the port choice to the finished printer, for both
// families of drivers, run through a host that shows what it does.
#pragma once

#include "framework/afx_string.h"
#include "install/install_host.h"
#include "ports/port_enumeration.h"

struct InstallRequest {
    // The catalogue index: receipt models first, then label models.
    int nModelIndex;
    // The driver list's text: a label printer's name, and the key to one
    // receipt model's DLL.
    CString strShownName;
    // The name a receipt printer is created under.
    CString strPrinterName;
    PortKind kind;
    bool bSetDefault;
    BOOL bWow64;
    // Windows NT 4.0 takes older driver records; Windows 7 is not asked
    // which USB port its printer answers on.
    bool bWindowsNt;
    bool bWindows7;
};

// What the window does once the installation returns.
enum class InstallOutcome {
    kFinished,  // Install becomes "&Finish"
    kReady,     // Install can be pressed again as it is
    kReinstall, // Install becomes "Reinstall"
    kEnd,       // the dialog ends
};

struct InstallResult {
    InstallOutcome outcome;
    // Whether the kind's list had a port, and the port the printer went on
    // or was to go on; empty when none was decided.
    bool bPortAvailable;
    CString strPort;
};

// The ports come from the source's lists as they stand, read again where
// a step may have changed them.
InstallResult RunInstallation(const InstallRequest &request, IInstallHost &host,
                              CPortSource &ports);
