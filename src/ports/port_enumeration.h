// Port enumeration: the spooler's ports sorted into the lists of each port
// kind, and the port kind that suits them.
#pragma once

#include "framework/afx_string.h"

// The monitor of TCP/IP ports, which is also their description.
constexpr char kTcpipMonitor[] = "Standard TCP/IP Port";

// Port kinds: the rows of the port-kind list, in this order wherever a
// table follows it.
enum PortKind { kPortKindSerial, kPortKindUsb, kPortKindParallel, kPortKindTcpip, kPortKindCount };

struct PortLists {
    CStringArray arrAll;
    CStringArray arrUsb;
    CStringArray arrSerial;
    CStringArray arrParallel;
    CStringArray arrTcpip;
    // The spooler's description of each entry of the parallel and TCP/IP
    // lists: the rows of their port dialogs.
    CStringArray arrParallelDescriptions;
    CStringArray arrTcpipDescriptions;
    // The port kind to preselect.
    PortKind kind = kPortKindUsb;
};

PortLists EnumeratePortLists();

// Where the program reads the spooler's ports: the lists as last read, and
// a reading of them again, which they then become.
class CPortSource {
public:
    virtual ~CPortSource() = default;
    const PortLists &Lists() const { return m_lists; }
    virtual const PortLists &Read();

protected:
    PortLists m_lists;
};

// Names of serial ports begin with "COM", in this case only.
bool IsSerialPortName(LPCSTR pszName);

// The list of one kind's ports.
const CStringArray &PortsOfKind(const PortLists &lists, PortKind kind);

// The serial devices of the registry as port names; false when there are none.
BOOL EnumerateSerialPorts(CStringArray &list);
