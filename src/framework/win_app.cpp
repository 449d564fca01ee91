#include "framework/win_app.h"

#include "framework/wnd.h"
#include "system/platform.h"

#include <commctrl.h>

#include <cstring>

namespace {
CWinApp *g_pApp = nullptr;
}

CWinApp::CWinApp(LPCSTR) {
    g_pApp = this;
}

CWinApp::~CWinApp() {
    g_pApp = nullptr;
}

int CWinApp::Run() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    if (!Platform().InitCommonControlsEx(&controls))
        ::InitCommonControls();
    InitInstance();
    return 0;
}

CWinApp *AfxGetApp() {
    return g_pApp;
}

CString AfxGetAppTitle() {
    char path[MAX_PATH + 1] = {};
    Platform().GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char *name = path;
    for (const char *p = path; *p; ++p) {
        if (*p == '\\' || *p == '/')
            name = p + 1;
    }
    const char *dot = std::strrchr(name, '.');
    return dot ? CString(name, static_cast<int>(dot - name)) : CString(name);
}

int AfxMessageBox(LPCSTR lpszText, UINT nType) {
    return CWnd(::GetActiveWindow()).MessageBox(lpszText, AfxGetAppTitle(), nType);
}
