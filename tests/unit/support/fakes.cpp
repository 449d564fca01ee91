#include "support/fakes.h"

#include "install/package_layout.h"
#include "support/platform_scope.h"
#include "support/win_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

BOOL ArchiveFake::Note(const std::string &call) {
    calls += call + "; ";
    return TRUE;
}

int WINAPI ArchiveFake::SevenZip(HWND, LPCSTR szCmdLine, LPSTR szOutput, DWORD dwSize) {
    const bool bZeroed = std::string(szOutput, dwSize) == std::string(dwSize, '\0');
    Note(szCmdLine + std::string(bZeroed ? ", " : ", unzeroed ") + std::to_string(dwSize));
    if (!catalogue.empty())
        WriteCatalogue(catalogue);
    return std::exchange(nResult, 0);
}

BOOL WINAPI ArchiveFake::SetOwner(HWND, LPVOID) {
    return Note("SetOwner");
}

BOOL WINAPI ArchiveFake::KillOwner(HWND) {
    return Note("KillOwner");
}

BOOL WINAPI ArchiveFake::FreeLibrary(HMODULE) {
    return Note("FreeLibrary");
}

FARPROC WINAPI ArchiveFake::GetProcAddress(HMODULE hModule, LPCSTR pszName) {
    const std::string name = pszName;
    if (name == missing)
        return nullptr;
    if (name == "SevenZip")
        return AsFarProc(SevenZip);
    if (name == "SevenZipSetOwnerWindowEx")
        return AsFarProc(SetOwner);
    return name == "SevenZipKillOwnerWindowEx" ? AsFarProc(KillOwner)
                                               : ::GetProcAddress(hModule, pszName);
}

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

namespace {

const SC_HANDLE kManager = reinterpret_cast<SC_HANDLE>(0x5C00);
const UINT_PTR kFirstService = 0x5D00;
UINT_PTR g_nNextService = kFirstService;

} // namespace

void ServiceFake::Install(PlatformApi &api, DWORD dwInitial, DWORD dwTransition) {
    dwState = dwTarget = dwInitial;
    dwTransitionMs = dwTransition;
    dwChangeAtMs = dwClockMs = 0;
    bManagerOpens = bServiceExists = true;
    nQueriesThatWork = -1;
    nQueries = nSleeps = 0;
    openHandles.clear();
    requests.clear();
    attachedPort.clear();
    onLineFlag = std::string("\1\0\0\0", 4);
    g_nNextService = kFirstService;
    api.OpenSCManagerA = OpenSCManagerA;
    api.OpenServiceA = OpenServiceA;
    api.QueryServiceStatus = QueryServiceStatus;
    api.StartServiceA = StartServiceA;
    api.ControlService = ControlService;
    api.CloseServiceHandle = CloseServiceHandle;
}

void ServiceFake::InstallClock(PlatformApi &api) {
    api.Sleep = Sleep;
    api.GetTickCount = GetTickCount;
}

void ServiceFake::Advance() {
    if (dwTransitionMs != kNever && dwClockMs >= dwChangeAtMs)
        dwState = dwTarget;
}

BOOL ServiceFake::Request(SC_HANDLE hService, const char *pszWhat, DWORD dwFrom, DWORD dwPending,
                          DWORD dwFinal) {
    EXPECT_EQ(openHandles.count(hService), 1u);
    Advance();
    requests.push_back(pszWhat);
    if (dwState != dwFrom)
        return FALSE;
    dwState = dwPending;
    dwTarget = dwFinal;
    dwChangeAtMs = dwClockMs + dwTransitionMs;
    return TRUE;
}

SC_HANDLE WINAPI ServiceFake::OpenSCManagerA(LPCSTR, LPCSTR, DWORD) {
    if (!bManagerOpens)
        return nullptr;
    openHandles.insert(kManager);
    return kManager;
}

SC_HANDLE WINAPI ServiceFake::OpenServiceA(SC_HANDLE hManager, LPCSTR, DWORD) {
    EXPECT_EQ(hManager, kManager);
    if (!bServiceExists)
        return nullptr;
    const SC_HANDLE hService = reinterpret_cast<SC_HANDLE>(g_nNextService++);
    openHandles.insert(hService);
    return hService;
}

BOOL WINAPI ServiceFake::QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS pStatus) {
    EXPECT_EQ(openHandles.count(hService), 1u);
    if (++nQueries > nQueriesThatWork && nQueriesThatWork >= 0)
        return FALSE;
    Advance();
    *pStatus = {};
    pStatus->dwCurrentState = dwState;
    return TRUE;
}

BOOL WINAPI ServiceFake::StartServiceA(SC_HANDLE hService, DWORD, LPCSTR *) {
    const std::string kPrinters = "hklm\\system\\currentcontrolset\\control\\print\\printers";
    for (const auto &[path, values] : RegistryFake::keys) {
        const auto port = values.find("port");
        if (!attachedPort.empty() && path.rfind(kPrinters, 0) == 0 && port != values.end() &&
            port->second.data == attachedPort + std::string(1, '\0'))
            RegistryFake::Set("hklm\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\" +
                                  path.substr(5),
                              "PrinterOnLine", REG_DWORD, onLineFlag);
    }
    return Request(hService, "start", SERVICE_STOPPED, SERVICE_START_PENDING, SERVICE_RUNNING);
}

BOOL WINAPI ServiceFake::ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS) {
    EXPECT_EQ(dwControl, static_cast<DWORD>(SERVICE_CONTROL_STOP));
    return Request(hService, "stop", SERVICE_RUNNING, SERVICE_STOP_PENDING, SERVICE_STOPPED);
}

BOOL WINAPI ServiceFake::CloseServiceHandle(SC_HANDLE hHandle) {
    EXPECT_EQ(openHandles.erase(hHandle), 1u);
    return TRUE;
}

void WINAPI ServiceFake::Sleep(DWORD dwMs) {
    ++nSleeps;
    dwClockMs += dwMs;
}

// Starts far from zero so that a wait across the counter's wrap is covered.
DWORD WINAPI ServiceFake::GetTickCount() {
    return dwClockMs + 0xFFFFF000u;
}

BOOL WINAPI PortsFake::EnumPortsA(LPSTR, DWORD, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbNeeded,
                                  LPDWORD pcReturned) {
    DWORD cbNeeded = static_cast<DWORD>(ports.size() * sizeof(PORT_INFO_2A));
    for (const auto &port : ports)
        cbNeeded += static_cast<DWORD>(port.first.size() + port.second.size() + 2);
    *pcbNeeded = cbNeeded + (bGrowing ? 64 * ++nCalls : 0);
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
    nextDescription = "Standard TCP/IP Port";
    dwConfigureError = dwDeleteError = 0;
    calls.clear();
    owners.clear();
    api.EnumPortsA = PortsFake::EnumPortsA;
    api.AddPortA = AddPortA;
    api.ConfigurePortA = ConfigurePortA;
    api.DeletePortA = DeletePortA;
}

BOOL WINAPI PortMonitorFake::AddPortA(LPSTR, HWND hWnd, LPSTR pMonitorName) {
    calls.push_back(std::string("AddPort ") + pMonitorName);
    owners.push_back(hWnd);
    if (nextPort.empty()) {
        ::SetLastError(ERROR_CANCELLED);
        return FALSE;
    }
    PortsFake::ports.push_back({nextPort, nextDescription});
    std::sort(PortsFake::ports.begin(), PortsFake::ports.end());
    return TRUE;
}

BOOL WINAPI PortMonitorFake::ConfigurePortA(LPSTR, HWND hWnd, LPSTR pPortName) {
    calls.push_back(std::string("ConfigurePort ") + pPortName);
    owners.push_back(hWnd);
    ::SetLastError(dwConfigureError);
    return dwConfigureError == 0;
}

BOOL WINAPI PortMonitorFake::DeletePortA(LPSTR, HWND hWnd, LPSTR pPortName) {
    calls.push_back(std::string("DeletePort ") + pPortName);
    owners.push_back(hWnd);
    ::SetLastError(dwDeleteError);
    if (dwDeleteError != 0)
        return FALSE;
    Ports &ports = PortsFake::ports;
    ports.erase(std::remove_if(ports.begin(), ports.end(),
                               [&](const auto &port) { return port.first == pPortName; }),
                ports.end());
    return TRUE;
}

void VersionFake::Set(DWORD dwPlatform, DWORD dwMajorVersion, DWORD dwMinorVersion) {
    dwPlatformId = dwPlatform;
    dwMajor = dwMajorVersion;
    dwMinor = dwMinorVersion;
    dwBuild = 0;
    nProductType = VER_NT_WORKSTATION;
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
    pInfo->dwBuildNumber = dwBuild;
    if (bExtended)
        reinterpret_cast<OSVERSIONINFOEXA *>(pInfo)->wProductType = nProductType;
    return TRUE;
}

namespace {

constexpr char kLocalMachine[] = "hklm";
constexpr char kCurrentProfile[] = "hklm\\system\\currentcontrolset\\hardware profiles\\current";
// A handle of the fake is this plus its key's index in openKeys.
constexpr UINT_PTR kFirstFakeKey = 0x7E00;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

void RegistryFake::Install(PlatformApi &api) {
    keys.clear();
    failingSets.clear();
    volatileRoots.clear();
    openKeys.clear();
    nOpen = 0;
    api.RegOpenKeyExA = RegOpenKeyExA;
    api.RegCreateKeyExA = RegCreateKeyExA;
    api.RegQueryValueExA = RegQueryValueExA;
    api.RegSetValueExA = RegSetValueExA;
    api.RegCloseKey = RegCloseKey;
}

std::string RegistryFake::Path(HKEY hRoot, const std::string &subkey) {
    std::string root;
    if (hRoot == HKEY_LOCAL_MACHINE)
        root = kLocalMachine;
    else if (hRoot == HKEY_CURRENT_CONFIG)
        root = kCurrentProfile;
    else if (hRoot == HKEY_CURRENT_USER)
        root = "hkcu";
    else
        root = openKeys.at(reinterpret_cast<UINT_PTR>(hRoot) - kFirstFakeKey);
    return Lower(subkey.empty() ? root : root + "\\" + subkey);
}

void RegistryFake::AddKey(const std::string &path) {
    keys[Lower(path)];
}

void RegistryFake::Set(const std::string &path, const std::string &value, DWORD dwType,
                       const std::string &data) {
    keys[Lower(path)][Lower(value)] = {dwType, data};
}

RegistryFake::Value *RegistryFake::Find(const std::string &path, const std::string &value) {
    const auto itKey = keys.find(Lower(path));
    if (itKey == keys.end())
        return nullptr;
    const auto itValue = itKey->second.find(Lower(value));
    return itValue == itKey->second.end() ? nullptr : &itValue->second;
}

LSTATUS WINAPI RegistryFake::RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM,
                                           PHKEY phResult) {
    const std::string path = Path(hKey, lpSubKey);
    if (keys.count(path) == 0)
        return ERROR_FILE_NOT_FOUND;
    openKeys.push_back(path);
    ++nOpen;
    *phResult = reinterpret_cast<HKEY>(kFirstFakeKey + openKeys.size() - 1);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegistryFake::RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR,
                                             DWORD dwOptions, REGSAM, const LPSECURITY_ATTRIBUTES,
                                             PHKEY phResult, LPDWORD) {
    const std::string path = Path(hKey, lpSubKey);
    for (const std::string &root : volatileRoots)
        if (path.rfind(Lower(root), 0) == 0 && dwOptions != REG_OPTION_VOLATILE)
            return ERROR_CHILD_MUST_BE_VOLATILE;
    AddKey(path);
    return RegOpenKeyExA(hKey, lpSubKey, 0, 0, phResult);
}

LSTATUS WINAPI RegistryFake::RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD,
                                              LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    const Value *pValue = Find(Path(hKey, ""), lpValueName);
    if (pValue == nullptr)
        return ERROR_FILE_NOT_FOUND;
    if (lpType != nullptr)
        *lpType = pValue->dwType;
    if (lpcbData == nullptr)
        return ERROR_SUCCESS;
    const DWORD cbData = static_cast<DWORD>(pValue->data.size());
    if (lpData != nullptr && *lpcbData < cbData) {
        *lpcbData = cbData;
        return ERROR_MORE_DATA;
    }
    if (lpData != nullptr)
        std::memcpy(lpData, pValue->data.data(), cbData);
    *lpcbData = cbData;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegistryFake::RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType,
                                            const BYTE *lpData, DWORD cbData) {
    const std::string path = Path(hKey, "");
    if (failingSets.count(Lower(lpValueName)) != 0)
        return ERROR_ACCESS_DENIED;
    Set(path, lpValueName, dwType, std::string(reinterpret_cast<const char *>(lpData), cbData));
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegistryFake::RegCloseKey(HKEY) {
    --nOpen;
    return ERROR_SUCCESS;
}

BOOL WINAPI PrintersFake::EnumPrintersA(DWORD Flags, LPSTR, DWORD Level, LPBYTE pPrinterEnum,
                                        DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
    dwFlagsAsked = Flags;
    dwLevelAsked = Level;
    DWORD cbNeeded = static_cast<DWORD>(printers.size() * sizeof(PRINTER_INFO_2A));
    for (const auto &printer : printers)
        cbNeeded += static_cast<DWORD>(printer.first.size() + printer.second.size() + 2);
    *pcbNeeded = cbNeeded;
    *pcReturned = 0;
    if (bFails || cbBuf < cbNeeded) {
        ::SetLastError(bFails ? ERROR_ACCESS_DENIED : ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto *pRecords = reinterpret_cast<PRINTER_INFO_2A *>(pPrinterEnum);
    char *pText =
        reinterpret_cast<char *>(pPrinterEnum + printers.size() * sizeof(PRINTER_INFO_2A));
    const auto store = [&](const std::string &text) {
        LPSTR psz = std::strcpy(pText, text.c_str());
        pText += text.size() + 1;
        return psz;
    };
    for (size_t i = 0; i < printers.size(); ++i) {
        pRecords[i] = {};
        pRecords[i].pPrinterName = store(printers[i].first);
        pRecords[i].pPortName = store(printers[i].second);
    }
    *pcReturned = static_cast<DWORD>(printers.size());
    return TRUE;
}

void WriteCatalogue(const std::string &text) {
    WriteTextFile(kCatalogueFile, text);
}

void HostFake::ShowStatus(LPCSTR lpszText) {
    log.push_back("status " + std::string(lpszText));
}

void HostFake::SetProgress(Progress nPos) {
    log.push_back("progress " + std::to_string(nPos));
}

int HostFake::ShowBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
    log.push_back("box " + std::string(lpszCaption ? lpszCaption : "app") + ": " + lpszText +
                  " type " + std::to_string(nType));
    if (!answers.empty()) {
        const int nAnswer = answers.front();
        answers.erase(answers.begin());
        return nAnswer;
    }
    return (nType & MB_TYPEMASK) == MB_RETRYCANCEL ? IDCANCEL : IDOK;
}

PortChoice HostFake::RunPortDialog(PortKind kind) {
    log.push_back("dialog " + std::to_string(kind));
    return choice;
}

bool HostFake::RunTcpipWizard() {
    log.push_back("wizard");
    return bWizardAdds;
}

PortLists HostFake::RefreshPorts() {
    log.push_back("refresh");
    return refreshed;
}

CStringArray List(const std::vector<std::string> &entries) {
    CStringArray list;
    for (const std::string &entry : entries)
        list.Add(entry.c_str());
    return list;
}

std::string Joined(const std::vector<std::string> &entries) {
    std::string text;
    for (const std::string &entry : entries)
        text += (text.empty() ? "" : "; ") + entry;
    return text;
}
