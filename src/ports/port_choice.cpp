// The port the user chooses before an installation.
#include "ports/port_choice.h"

#include "res/texts.h"

namespace {

int RowOf(const CStringArray &ports, const CString &strPort) {
    for (INT_PTR i = 0; i < ports.GetSize(); ++i) {
        if (ports[i] == strPort)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

PortChoice ChoiceOfEndCode(INT_PTR nEndCode, const CString &strPort) {
    if (nEndCode == PORTDLG_ADDED)
        return {PortChoice::kAdded, 0, strPort};
    if (nEndCode >= PORTDLG_INDEX_BASE && nEndCode != PORTDLG_CANCELLED)
        return {PortChoice::kRow, static_cast<int>(nEndCode - PORTDLG_INDEX_BASE), strPort};
    return {PortChoice::kCancelled, 0, CString()};
}

int ChosenRow(const PortChoice &choice, const CStringArray &ports, bool bAddingAllowed) {
    const int nPorts = static_cast<int>(ports.GetSize());
    int nRow = -1;
    if (choice.outcome == PortChoice::kRow)
        nRow = choice.nRow;
    else if (choice.outcome == PortChoice::kAdded && bAddingAllowed)
        nRow = 0;
    if (nRow < 0 || nRow >= nPorts)
        nRow = -1;
    if (choice.outcome != PortChoice::kRow || choice.strPort.IsEmpty())
        return nRow;
    return nRow >= 0 && ports[nRow] == choice.strPort ? nRow : RowOf(ports, choice.strPort);
}

CString DescribeAbandonedChoice(const PortChoice &choice) {
    switch (choice.outcome) {
    case PortChoice::kCancelled:
        return CString();
    case PortChoice::kAdded:
        return kAddedPortNotTcpip;
    case PortChoice::kRow:
        break;
    }
    return Formatted(kPortGoneText,
                     choice.strPort.IsEmpty() ? kChosenPort : static_cast<LPCSTR>(choice.strPort));
}
