// USB port detection: the new printer bound to each USB port in turn until
// the spooler, restarted, reports it on line.
#pragma once

#include "framework/afx_string.h"
#include "install/install_host.h"

// One pass over the candidates in their order. Returns the first byte of
// the last on-line flag read (1 for the port that answered), 1 on Windows 7,
// where every candidate is written in turn with no restart, and 0 when no
// port answered.
BYTE TryUsbPorts(LPCSTR lpszPrinterName, const CStringArray &arrCandidates, bool bWindows7,
                 IInstallHost &host);
