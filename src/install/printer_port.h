// The port a printer goes on, from the press of Install to the end: the
// first of its kind's list, the parallel and TCP/IP choice, the parallel
// fallback, and the port found or assigned once the printer exists. All
// of it reads the lists of one source.
#pragma once

#include "framework/afx_string.h"
#include "install/install_host.h"
#include "ports/port_choice.h"
#include "ports/port_enumeration.h"

class CPrinterPort {
public:
    // Takes the first port of the kind's list as it stands, when it has one.
    // Windows 7 is not asked whether a USB port answers.
    CPrinterPort(PortKind kind, bool bWindows7, CPortSource &source, IInstallHost &host);

    // Asks for the port where the kind asks; false when the choice is
    // abandoned, after saying why.
    bool Choose();
    // The port to create the printer on; empty when there is none.
    CString ForCreation() const;
    // The printer now stands on the port; shows so, or which port it got
    // instead.
    void Created(LPCSTR lpszPrinterName, const CString &strPort);
    // Finds or assigns the printer's own port, for the kinds that do.
    void AssignAfterCreation(LPCSTR lpszPrinterName);

    // Whether the kind's list had a port when Install was pressed.
    bool Available() const { return m_bAvailable; }
    // The port chosen, then the one the printer was created on.
    const CString &Port() const { return m_strDecided; }

private:
    PortChoice ChooseParallelPort();
    PortChoice ChooseTcpipPort();
    void DetectUsbPort(LPCSTR lpszPrinterName);
    void AssignSerialPort(LPCSTR lpszPrinterName);
    // The ports read again, the window showing the kind they suit.
    void Reread();

    // What each kind of port does before the printer is created and after:
    // a choice of port, or a port found for the printer.
    struct Role {
        PortChoice (CPrinterPort::*choose)();
        void (CPrinterPort::*assign)(LPCSTR lpszPrinterName);
    };
    static const Role kRoles[];

    const PortKind m_kind;
    const bool m_bWindows7;
    CPortSource &m_source;
    IInstallHost &m_host;
    bool m_bAvailable;
    CString m_strDecided;
};
