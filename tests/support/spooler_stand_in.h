// The stand-in spooler service of the test prefixes and what a test tells
// it: the registry key it keeps its start count in and reads the attached
// ports from.
#pragma once

#include <windows.h>

#include <string>

// Under HKEY_LOCAL_MACHINE: how often the service has started (REG_DWORD),
// and the ports with a printer plugged in, separated by blanks (REG_SZ).
constexpr char kStandInKey[] = "Software\\DriverInstallerTests\\SpoolerStandIn";
constexpr char kStandInStarts[] = "Starts";
constexpr char kStandInAttached[] = "AttachedPorts";

// The printer keys the spooler reads, and the on-line flag of the current
// hardware profile beside them.
constexpr char kSpoolerPrintersKey[] = "System\\CurrentControlSet\\Control\\Print\\Printers";
constexpr char kOnLineValue[] = "PrinterOnLine";

DWORD StandInStarts();
// Sets the printer's on-line flag as a spooler does when its device answers.
// The key is made volatile, the only kind Wine's profile takes.
void MarkPrinterOnLine(const std::string &printer, DWORD dwFlag);
// The ports, separated by blanks, with a printer plugged in.
void AttachPorts(const std::string &ports);
