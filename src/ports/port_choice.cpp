// The port the user chooses before an installation.
#include "ports/port_choice.h"

int ChosenRow(const PortChoice &choice, int nPorts, bool bAddingAllowed) {
    int nRow = -1;
    if (choice.outcome == PortChoice::kRow)
        nRow = choice.nRow;
    else if (choice.outcome == PortChoice::kAdded && bAddingAllowed)
        nRow = 0;
    return nRow >= 0 && nRow < nPorts ? nRow : -1;
}
