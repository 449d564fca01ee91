// What an installation needs from the window that runs it: the status line,
// the progress bar, message boxes and the port dialogs. The dialog is the
// one host; the tests record through a host of their own.
#pragma once

#include "framework/afx_string.h"
#include "ports/port_choice.h"
#include "ports/port_enumeration.h"

// Where the progress bar stands after each step.
enum Progress : int {
    kProgressFailed = 0,
    kProgressStaged = 10,
    kProgressRegistered = 20,
    kProgressPrinterAdded = 30,
    kProgressDefaultSet = 40,
    kProgressPortWritten = 50,
    kProgressPrintersListed = 50,
    kProgressSpoolerRestarted = 60,
    kProgressPortFound = 70,
    kProgressUsbDone = 80,
    kProgressPrintersRefreshed = 90,
    kProgressComplete = 100,
};

class IInstallHost {
public:
    virtual void ShowStatus(LPCSTR lpszText) = 0;
    virtual void SetProgress(Progress nPos) = 0;
    // A null caption is the application's box, owned by the active window;
    // otherwise the window's own. Returns the button pressed.
    virtual int ShowBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) = 0;
    // The parallel or TCP/IP port dialog, over the source's lists as they
    // stand; the TCP/IP one reads them again after a port is added or deleted.
    virtual PortChoice RunPortDialog(PortKind kind, CPortSource &ports) = 0;
    // The TCP/IP monitor's wizard; true when it added a port.
    virtual bool RunTcpipWizard() = 0;
    // The port-kind row that suits the ports just read.
    virtual void ShowPortKind(PortKind kind) = 0;

protected:
    ~IInstallHost() = default;
};
