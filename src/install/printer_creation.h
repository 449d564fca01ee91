// Printer creation, the step that ends both installation sequences: each
// step on its own, called by the dialog in the order it shows them.
#pragma once

#include "framework/afx_string.h"
#include "install/install_host.h"

// Failures are silent: the spooler says what it needs when the printer is added.
void EnableLoadDriverPrivilege();

// The spooler refuses empty names and names with a comma or backslash.
bool IsPrinterNameAccepted(LPCSTR lpszPrinterName);

// Purges and deletes a printer of the same name, if there is one, and says so.
void RemoveNamesake(LPCSTR lpszPrinterName, IInstallHost &host);

// The printer with our print processor and data type on the port; 0 or the
// spooler's error.
DWORD AddPrinterOnPort(LPCSTR lpszPrinterName, LPCSTR lpszPort, LPCSTR lpszDriverName);

// Writes the default printer's "Device" value; false when the key opened
// but the value could not be written.
bool WriteDefaultPrinter(LPCSTR lpszPrinterName, LPCSTR lpszPort);

// What a failed creation shows: its text, the caption of its box, and
// whether Install then reads "Reinstall".
struct PrinterFailure {
    CString strText;
    LPCSTR pszCaption;
    bool bReinstall;
};
PrinterFailure DescribePrinterFailure(DWORD dwError);
