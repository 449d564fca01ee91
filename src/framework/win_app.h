// CWinApp: the one application object; the program's entry point runs its
// InitInstance. Also the application's message box, captioned with the
// program file's name without its extension.
#pragma once

#include "framework/afx_string.h"

class CWinApp {
public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp &) = delete;
    CWinApp &operator=(const CWinApp &) = delete;

    virtual BOOL InitInstance() = 0;
    int Run();
};

CWinApp *AfxGetApp();
CString AfxGetAppTitle();
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK);
