// Serial port assignment: the new printer bound to the one serial device,
// or left where it was created, and the user told which port it uses.
#pragma once

#include "framework/afx_string.h"
#include "install/install_host.h"

// Local printers and connections as the spooler lists them: name and port,
// entry for entry. FALSE when the spooler fails or lists none; a failed
// enumeration leaves both arrays as they were.
BOOL EnumeratePrinterList(CStringArray &arrNames, CStringArray &arrPorts);

// The line settings written for a serial port.
struct SerialLine {
    int nBaudRate;
    int chParity;
    int nDataBits;
    int nStopBits;
};

// What the assignment works on: the serial devices, the printers listed
// before it, and the port the new printer was created on.
struct SerialAssignment {
    const CStringArray &arrSerialPorts;
    const CStringArray &arrPrinterNames;
    const CStringArray &arrPrinterPorts;
    LPCSTR pszCreatedPort;
    SerialLine line;
};

// Runs the assignment and shows the status that names the printer's port.
void AssignSerialPortTo(LPCSTR lpszPrinterName, const SerialAssignment &assignment,
                        IInstallHost &host);
