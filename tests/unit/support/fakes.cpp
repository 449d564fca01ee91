#include "support/fakes.h"

#include <cstring>
#include <sstream>

void BoxFake::Install(PlatformApi &api) {
    boxes.clear();
    api.MessageBoxA = MessageBoxA;
}

int WINAPI BoxFake::MessageBoxA(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT) {
    boxes.push_back({lpText ? lpText : "<null>", lpCaption ? lpCaption : "<null>"});
    return IDOK;
}

std::vector<std::string> BoxFake::Texts() {
    std::vector<std::string> texts;
    for (const Box &box : boxes)
        texts.push_back(box.text);
    return texts;
}

namespace {

using Service = ServiceFake;

// The program reads the states a start or stop leads to, never its result.
BOOL Request(const char *pszWhat, DWORD dwPending, DWORD dwFinal) {
    Service::requests.push_back(pszWhat);
    Service::dwState = dwPending;
    Service::dwTarget = dwFinal;
    Service::dwReadyAtMs = Service::dwClockMs + 300;
    return TRUE;
}

SC_HANDLE WINAPI Open(SC_HANDLE, LPCSTR, DWORD) {
    return reinterpret_cast<SC_HANDLE>(static_cast<UINT_PTR>(++Service::nOpen));
}

SC_HANDLE WINAPI OpenManager(LPCSTR, LPCSTR, DWORD) {
    return Open(nullptr, nullptr, 0);
}

BOOL WINAPI Close(SC_HANDLE) {
    return --Service::nOpen >= 0;
}

// Past ten minutes it answers no more, so that an unbounded wait ends.
BOOL WINAPI Query(SC_HANDLE, LPSERVICE_STATUS pStatus) {
    if (!Service::bStuck && Service::dwClockMs >= Service::dwReadyAtMs)
        Service::dwState = Service::dwTarget;
    *pStatus = {};
    pStatus->dwCurrentState = Service::dwState;
    ++Service::nQueries;
    return Service::dwClockMs <= 600000;
}

void WINAPI Pause(DWORD dwMs) {
    ++Service::nSleeps;
    Service::dwClockMs += dwMs;
}

// Starts far from zero so that a wait across the counter's wrap is covered.
DWORD WINAPI Ticks() {
    return Service::dwClockMs + 0xFFFFF000u;
}

} // namespace

void ServiceFake::Install(PlatformApi &api, DWORD dwInitial, bool bStuckService) {
    dwState = dwTarget = dwInitial;
    bStuck = bStuckService;
    dwReadyAtMs = dwClockMs = 0;
    nQueries = nSleeps = nOpen = 0;
    requests.clear();
    api.OpenSCManagerA = OpenManager;
    api.OpenServiceA = Open;
    api.QueryServiceStatus = Query;
    api.StartServiceA = StartServiceA;
    api.ControlService = ControlService;
    api.CloseServiceHandle = Close;
    api.Sleep = Pause;
    api.GetTickCount = Ticks;
}

BOOL WINAPI ServiceFake::StartServiceA(SC_HANDLE, DWORD, LPCSTR *) {
    return Request("start", SERVICE_START_PENDING, SERVICE_RUNNING);
}

BOOL WINAPI ServiceFake::ControlService(SC_HANDLE, DWORD, LPSERVICE_STATUS) {
    return Request("stop", SERVICE_STOP_PENDING, SERVICE_STOPPED);
}

BOOL WINAPI PortsFake::EnumPortsA(LPSTR, DWORD, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbNeeded,
                                  LPDWORD pcReturned) {
    DWORD cbNeeded = static_cast<DWORD>(ports.size() * sizeof(PORT_INFO_2A));
    for (const auto &port : ports)
        cbNeeded += static_cast<DWORD>(port.first.size() + port.second.size() + 2);
    *pcbNeeded = cbNeeded;
    // A failed call's count describes nothing in the buffer.
    *pcReturned = static_cast<DWORD>(ports.size());
    if (cbBuf < *pcbNeeded)
        return FALSE;
    auto *pRecords = reinterpret_cast<PORT_INFO_2A *>(pBuffer);
    char *pText = reinterpret_cast<char *>(pBuffer + ports.size() * sizeof(PORT_INFO_2A));
    const auto store = [&](const std::string &text) {
        LPSTR psz = std::strcpy(pText, text.c_str());
        pText += text.size() + 1;
        return psz;
    };
    for (size_t i = 0; i < ports.size(); ++i) {
        pRecords[i] = {};
        pRecords[i].pPortName = store(ports[i].first);
        pRecords[i].pDescription = store(ports[i].second);
    }
    return TRUE;
}

int HostFake::ShowBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
    log.push_back("box " + std::string(lpszCaption ? lpszCaption : "app") + ": " + lpszText +
                  " type " + std::to_string(nType));
    if (answers.empty())
        return (nType & MB_TYPEMASK) == MB_RETRYCANCEL ? IDCANCEL : IDOK;
    const int nAnswer = answers.front();
    answers.erase(answers.begin());
    return nAnswer;
}

CStringArray Names(const std::string &names) {
    std::istringstream in(names);
    CStringArray list;
    for (std::string name; in >> name;)
        list.Add(name.c_str());
    return list;
}

std::string Joined(const std::vector<std::string> &entries) {
    std::string text;
    for (const std::string &entry : entries)
        text += (text.empty() ? "" : "; ") + entry;
    return text;
}
