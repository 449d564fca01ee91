// The registry values that bind a printer to a port for the spooler's next
// start, and the on-line flag the spooler leaves beside them.
#pragma once

#include "framework/afx_string.h"
#include "framework/step_result.h"
#include "install/install_host.h"

// Four port values, then the on-line flag cleared, each a step of its own.
constexpr int kPrinterPortSteps = 5;

// Writes the value of one step (1 to kPrinterPortSteps). A key the spooler
// never made is passed over. A name that is empty or holds a backslash
// would name the printers' own key or another printer's subkey: nothing is
// written.
StepResult WritePrinterPortValue(LPCSTR lpszPrinterName, LPCSTR lpszPortName, int nStep);
// Writes them in order and shows a box for each value that could not be set.
void WritePrinterPort(LPCSTR lpszPrinterName, LPCSTR lpszPortName, IInstallHost &host);

// The first byte of the printer's "PrinterOnLine" value; false when the key
// or the value is missing or holds no byte.
bool ReadPrinterOnLine(LPCSTR lpszPrinterName, BYTE &nFlag);
