// The port the user chooses before an installation, for the kinds that ask.
#pragma once

#include "framework/afx_string.h"

// End codes of the port dialogs: the base plus a row, the choice abandoned,
// and, when there was no TCP/IP port, one added by the monitor's wizard.
constexpr int PORTDLG_INDEX_BASE = 0x1200;
constexpr int PORTDLG_CANCELLED = 0xCCCC;
constexpr int PORTDLG_ADDED = 0xAAAA;

struct PortChoice {
    enum Outcome { kRow, kCancelled, kAdded };
    Outcome outcome = kCancelled;
    // A row of the kind's port list; read for kRow only.
    int nRow = 0;
    // The port the user chose, when known: the list may have changed since.
    CString strPort;
};

// What a port dialog's end code says; codes that name no row are a Cancel.
PortChoice ChoiceOfEndCode(INT_PTR nEndCode, const CString &strPort);

// The row of the list that the printer goes on, or -1 when the choice is
// abandoned: a port just added is row 0; a chosen port found elsewhere in
// the fresh list is taken at its new row.
int ChosenRow(const PortChoice &choice, const CStringArray &ports, bool bAddingAllowed);

// Why a choice that was not cancelled names no port of the list; empty for a Cancel.
CString DescribeAbandonedChoice(const PortChoice &choice);
