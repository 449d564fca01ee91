// What an installation step shows while it works; the dialog shows it.
#pragma once

#include <windows.h>

class IInstallView {
public:
    virtual void ShowStatus(LPCSTR lpszText) = 0;
    virtual void SetProgress(int nPos) = 0;

protected:
    ~IInstallView() = default;
};
