#include "support/fakes.h"

#include "install/driver_tables.h"
#include "install/package_layout.h"
#include "support/wine_files.h"

namespace {

constexpr char kWindowsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr char kDeviceValue[] = "Device";

} // namespace

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

std::string ReadRegistryString(HKEY hRoot, const std::string &key, const std::string &value) {
    char data[512] = {};
    DWORD cbData = sizeof(data) - 1;
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(hRoot, key.c_str(), 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return "";
    ::RegQueryValueExA(hKey, value.c_str(), nullptr, nullptr, reinterpret_cast<LPBYTE>(data),
                       &cbData);
    ::RegCloseKey(hKey);
    return data;
}

void WriteRegistryString(HKEY hRoot, const std::string &key, const std::string &value,
                         const std::string &data, DWORD dwOptions) {
    HKEY hKey = nullptr;
    ::RegCreateKeyExA(hRoot, key.c_str(), 0, nullptr, dwOptions, KEY_SET_VALUE, nullptr, &hKey,
                      nullptr);
    ::RegSetValueExA(hKey, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                     static_cast<DWORD>(data.size() + 1));
    ::RegCloseKey(hKey);
}

void DeleteRegistryValue(HKEY hRoot, const std::string &key, const std::string &value) {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(hRoot, key.c_str(), 0, KEY_SET_VALUE, &hKey) != ERROR_SUCCESS)
        return;
    ::RegDeleteValueA(hKey, value.c_str());
    ::RegCloseKey(hKey);
}

std::string DefaultPrinterDevice() {
    return ReadRegistryString(HKEY_CURRENT_USER, kWindowsKey, kDeviceValue);
}

void SetDefaultPrinterDevice(const std::string &device) {
    WriteRegistryString(HKEY_CURRENT_USER, kWindowsKey, kDeviceValue, device);
}

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
