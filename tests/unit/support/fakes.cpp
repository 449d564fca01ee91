#include "support/fakes.h"

#include "install/driver_tables.h"
#include "install/package_layout.h"
#include "support/win_helpers.h"

void BoxFake::Install(PlatformApi &api) {
    boxes.clear();
    nAnswer = IDOK;
    api.MessageBoxA = MessageBoxA;
}

int WINAPI BoxFake::MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    boxes.push_back({hWnd, lpText ? lpText : "<null>", lpCaption ? lpCaption : "<null>", uType});
    return nAnswer;
}

std::vector<std::string> BoxFake::Texts() {
    std::vector<std::string> texts;
    for (const Box &box : boxes)
        texts.push_back(box.text);
    return texts;
}

void ServiceFake::Install(PlatformApi &api) {
    dwState = SERVICE_RUNNING;
    nStops = nStarts = 0;
    api.QueryServiceStatus = QueryServiceStatus;
    api.ControlService = ControlService;
    api.StartServiceA = StartServiceA;
}

BOOL WINAPI ServiceFake::QueryServiceStatus(SC_HANDLE, LPSERVICE_STATUS lpStatus) {
    *lpStatus = {};
    lpStatus->dwCurrentState = dwState;
    return TRUE;
}

BOOL WINAPI ServiceFake::ControlService(SC_HANDLE hService, DWORD dwControl,
                                        LPSERVICE_STATUS lpStatus) {
    if (dwControl == SERVICE_CONTROL_STOP) {
        ++nStops;
        dwState = SERVICE_STOPPED;
    }
    return QueryServiceStatus(hService, lpStatus);
}

BOOL WINAPI ServiceFake::StartServiceA(SC_HANDLE, DWORD, LPCSTR *) {
    ++nStarts;
    dwState = SERVICE_RUNNING;
    return TRUE;
}

void WINAPI NoPause(DWORD) {}

void WriteCatalogue(const std::string &text) {
    WriteTextFile(kCatalogueFile, text);
}

void WriteTablesCatalogue() {
    std::string text;
    for (int i = 0; i < kCatalogueSize; ++i) {
        text += "[Driver" + std::to_string(i) + "]\r\nPrintName1=";
        text += i < kReceiptDriverCount ? ReceiptDriverNames[i]
                                        : LabelDriverNames[i - kReceiptDriverCount];
        text += "\r\n";
        if (i == kOwnDllModel)
            text += std::string("PrintName2=") + kAliasOfOwnDllModel + "\r\n";
    }
    WriteCatalogue(text);
}
