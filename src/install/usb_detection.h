// USB port detection: the new printer bound to each USB port in turn until
// the spooler, restarted, reports it on line.
#pragma once

#include "framework/afx_string.h"
#include "framework/step_result.h"
#include "install/install_host.h"

// One pass over the candidates in their order, until the printer's on-line
// flag reads 1. Windows 7 is not asked: every candidate is written in turn
// with no restart and the last stays. Fails with ERROR_DEVICE_NOT_CONNECTED
// when no candidate was read on line; a last flag read that is neither 0
// nor 1 counts as on line.
StepResult TryUsbPorts(LPCSTR lpszPrinterName, const CStringArray &arrCandidates, bool bWindows7,
                       IInstallHost &host);
