// Printer creation, the step that ends both installation sequences: each
// step on its own, called by the dialog in the order it shows them.
#pragma once

#include "framework/afx_string.h"
#include "framework/step_result.h"
#include "install/install_host.h"

// Failures are silent: the spooler says what it needs when the printer is added.
void EnableLoadDriverPrivilege();

// The spooler refuses empty names and names with a comma or backslash.
bool IsPrinterNameAccepted(LPCSTR lpszPrinterName);

// Purges and deletes a printer of the same name, if there is one, and says so.
void RemoveNamesake(LPCSTR lpszPrinterName, IInstallHost &host);

// The printer with our print processor and data type on the port; a
// failure carries the spooler's error.
StepResult AddPrinterOnPort(LPCSTR lpszPrinterName, LPCSTR lpszPort, LPCSTR lpszDriverName);

// Writes the default printer's "Device" value. The key is the user's: one
// that does not open is no failure to show, a value that is not written is.
enum DefaultPrinterStep { kDefaultKeyStep = 1, kDefaultValueStep };
StepResult WriteDefaultPrinter(LPCSTR lpszPrinterName, LPCSTR lpszPort);

// What a failed creation shows: its text, the caption of its box, and
// whether Install then reads "Reinstall".
struct PrinterFailure {
    CString strText;
    LPCSTR pszCaption;
    bool bReinstall;
};
PrinterFailure DescribePrinterFailure(DWORD dwError);
