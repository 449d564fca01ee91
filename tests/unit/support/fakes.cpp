#include "support/fakes.h"

#include "ports/port_enumeration.h"
#include "support/platform_scope.h"
#include "support/win_helpers.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <utility>

namespace {

int WINAPI SevenZip(HWND, LPCSTR, LPSTR, DWORD) {
    if (!ArchiveFake::catalogue.empty())
        WriteCatalogue(ArchiveFake::catalogue);
    return std::exchange(ArchiveFake::nResult, 0);
}

BOOL WINAPI SetOwner(HWND, LPVOID) {
    return TRUE;
}

BOOL WINAPI KillOwner(HWND) {
    return TRUE;
}

} // namespace

FARPROC WINAPI ArchiveFake::GetProcAddress(HMODULE hModule, LPCSTR pszName) {
    const std::string name = pszName;
    if (name == "SevenZip")
        return AsFarProc(SevenZip);
    if (name == "SevenZipSetOwnerWindowEx")
        return AsFarProc(SetOwner);
    return name == "SevenZipKillOwnerWindowEx" ? AsFarProc(KillOwner)
                                               : ::GetProcAddress(hModule, pszName);
}

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

BOOL Request(const char *pszWhat, DWORD dwFrom, DWORD dwPending, DWORD dwFinal) {
    Service::requests.push_back(pszWhat);
    if (Service::dwState != dwFrom)
        return FALSE;
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
    return Request("start", SERVICE_STOPPED, SERVICE_START_PENDING, SERVICE_RUNNING);
}

BOOL WINAPI ServiceFake::ControlService(SC_HANDLE, DWORD, LPSERVICE_STATUS) {
    return Request("stop", SERVICE_RUNNING, SERVICE_STOP_PENDING, SERVICE_STOPPED);
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

void PortMonitorFake::Install(PlatformApi &api) {
    nextPort.clear();
    dwConfigureError = dwDeleteError = 0;
    calls.clear();
    api.EnumPortsA = PortsFake::EnumPortsA;
    api.AddPortA = AddPortA;
    api.ConfigurePortA = ConfigurePortA;
    api.DeletePortA = DeletePortA;
}

BOOL WINAPI PortMonitorFake::AddPortA(LPSTR, HWND, LPSTR pMonitorName) {
    calls.push_back(std::string("AddPort ") + pMonitorName);
    PortsFake::ports.push_back({nextPort, kTcpipMonitor});
    std::sort(PortsFake::ports.begin(), PortsFake::ports.end());
    return TRUE;
}

BOOL WINAPI PortMonitorFake::ConfigurePortA(LPSTR, HWND, LPSTR pPortName) {
    calls.push_back(std::string("ConfigurePort ") + pPortName);
    ::SetLastError(dwConfigureError);
    return dwConfigureError == 0;
}

BOOL WINAPI PortMonitorFake::DeletePortA(LPSTR, HWND, LPSTR pPortName) {
    calls.push_back(std::string("DeletePort ") + pPortName);
    ::SetLastError(dwDeleteError);
    return dwDeleteError == 0;
}

void VersionFake::Set(DWORD dwPlatform, DWORD dwMajorVersion, DWORD dwMinorVersion) {
    dwPlatformId = dwPlatform;
    dwMajor = dwMajorVersion;
    dwMinor = dwMinorVersion;
    sizesAsked.clear();
}

BOOL WINAPI VersionFake::GetVersionExA(LPOSVERSIONINFOA pInfo) {
    sizesAsked.push_back(pInfo->dwOSVersionInfoSize);
    const bool bExtended = pInfo->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXA);
    if ((bExtended && bExtendedFails) || (!bExtended && bBasicFails) ||
        (!bExtended && pInfo->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)))
        return FALSE;
    pInfo->dwPlatformId = dwPlatformId;
    pInfo->dwMajorVersion = dwMajor;
    pInfo->dwMinorVersion = dwMinor;
    return TRUE;
}

namespace {

LSTATUS WINAPI RefusingSet(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE *lpData,
                           DWORD cbData) {
    return RefusedValues::names.count(lpValueName) != 0
               ? ERROR_ACCESS_DENIED
               : ::RegSetValueExA(hKey, lpValueName, 0, dwType, lpData, cbData);
}

} // namespace

void RefusedValues::Install(PlatformApi &api, std::set<std::string> refused) {
    names = std::move(refused);
    api.RegSetValueExA = RefusingSet;
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
