// CInstallerApp: runs the main dialog; the program ends when it ends.
#pragma once

#include "framework/win_app.h"

class CInstallerApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
