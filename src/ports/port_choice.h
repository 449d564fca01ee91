// The port the user chooses before an installation, for the kinds that ask.
#pragma once

struct PortChoice {
    enum Outcome { kRow, kCancelled, kAdded };
    Outcome outcome;
    // A row of the kind's port list; read for kRow only.
    int nRow;
};

// The row of a list of nPorts that the printer goes on, or -1 when the
// choice is abandoned: a port just added is row 0, and a choice that names
// no row of the list abandons it as Cancel does.
int ChosenRow(const PortChoice &choice, int nPorts, bool bAddingAllowed);
