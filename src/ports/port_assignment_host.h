// What the port assignments need from the window that runs them: its status
// line and progress bar, its message box, the registry binding of a printer
// to a port, and the spooler restart that makes the spooler read it.
#pragma once

#include "framework/afx_string.h"

class IPortAssignmentHost {
public:
    virtual void ShowStatus(LPCSTR lpszText) = 0;
    virtual void SetProgress(int nPos) = 0;
    // The application's box with the warning icon.
    virtual void ShowMessage(LPCSTR lpszText) = 0;
    virtual void WritePrinterPort(LPCSTR lpszPrinterName, CString strPortName) = 0;
    virtual void RestartSpooler() = 0;

protected:
    ~IPortAssignmentHost() = default;
};
