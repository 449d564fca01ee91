// The registry values that bind a printer to a port for the spooler's next
// start, and the on-line flag the spooler leaves beside them.
#pragma once

#include "framework/afx_string.h"
#include "install/install_host.h"

#include <vector>

// Writes the five values in order and returns the steps (1 to 5) whose value
// could not be set. A name that is empty or holds a backslash would name
// the printers' own key or another printer's subkey: nothing is written.
std::vector<int> WritePrinterPortValues(LPCSTR lpszPrinterName, LPCSTR lpszPortName);
// Writes them and shows a box for each value that could not be set.
void WritePrinterPort(LPCSTR lpszPrinterName, LPCSTR lpszPortName, IInstallHost &host);

// The first byte of the printer's "PrinterOnLine" value; false when the key
// or the value is missing or holds no byte.
bool ReadPrinterOnLine(LPCSTR lpszPrinterName, BYTE &nFlag);
