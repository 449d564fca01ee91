// The "Standard TCP/IP Port" monitor's own dialogs, reached through the
// spooler: they add, configure and delete the TCP/IP ports.
#pragma once

#include "framework/afx_string.h"

#include <windows.h>

// The box that tells the user of a failure; no text when there is nothing
// to tell, the monitor having told it or the call having succeeded.
struct TcpipPortBox {
    LPCSTR pszText;
    LPCSTR pszCaption;
};

// Asks the monitor for a new port through its wizard, owned by hOwner; true
// only when the monitor answers exactly TRUE.
bool AddTcpipPort(HWND hOwner);
TcpipPortBox ConfigureTcpipPort(HWND hOwner, const CString &strPort);
TcpipPortBox DeleteTcpipPort(HWND hOwner, const CString &strPort);
