// The "Standard TCP/IP Port" monitor's own dialogs, reached through the
// spooler: they add, configure and delete the TCP/IP ports.
#pragma once

#include "framework/afx_string.h"
#include "framework/step_result.h"

// The monitor's call a result comes from, as its step.
enum TcpipMonitorCall { kTcpipAddCall = 1, kTcpipConfigureCall, kTcpipDeleteCall };

// Asks the monitor for a new port through its wizard, owned by hOwner; it
// succeeds only when the monitor answers exactly TRUE.
StepResult AddTcpipPort(HWND hOwner);
StepResult ConfigureTcpipPort(HWND hOwner, const CString &strPort);
StepResult DeleteTcpipPort(HWND hOwner, const CString &strPort);

// The box that tells the user of a failed call; no text when there is
// nothing to tell, the monitor having told it or the call having succeeded.
struct TcpipPortBox {
    LPCSTR pszText;
    LPCSTR pszCaption;
};
TcpipPortBox DescribeTcpipFailure(const StepResult &result);
