// Runs a dialog modally on a thread of its own, as the program's main thread
// would, for the test to work it through window messages.
#pragma once

#include "framework/dialog.h"
#include "support/win_helpers.h"
#include "support/window_driver.h"

#include "threads.h"

class DialogRunner : public WindowDriver {
public:
    explicit DialogRunner(CDialog &dlg);
    ~DialogRunner();

    // Waits for DoModal to return and gives its result.
    INT_PTR Join();
    bool Open() const { return ::IsWindow(m_hDlg) != FALSE; }

private:
    INT_PTR m_nResult = -1;
    archive::Thread m_thread;
};
