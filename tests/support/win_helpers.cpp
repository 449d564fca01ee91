#include "support/win_helpers.h"

#include "support/spooler_stand_in.h"

#include <winspool.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr char kWindowsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr char kDeviceValue[] = "Device";

// The name of a driver file without its directory.
std::string FileName(LPCSTR pszPath) {
    const std::string path = pszPath != nullptr ? pszPath : "";
    return path.substr(path.find_last_of('\\') + 1);
}

} // namespace

bool WaitFor(const std::function<bool()> &pred, DWORD dwTimeoutMs) {
    const DWORD dwStart = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - dwStart > dwTimeoutMs)
            return false;
        ::Sleep(10);
    }
    return true;
}

void WriteTextFile(const std::string &path, const std::string &content) {
    std::ofstream(path, std::ios::binary) << content;
}

bool FileExists(const std::string &path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadTextFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void RemoveTree(const std::string &path) {
    WIN32_FIND_DATAA found;
    HANDLE hFind = ::FindFirstFileA((path + "\\*").c_str(), &found);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                ::DeleteFileA(child.c_str());
        } while (::FindNextFileA(hFind, &found));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryA(path.c_str());
}

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

DWORD ReadRegistryDword(HKEY hRoot, const std::string &key, const std::string &value,
                        DWORD dwMissing) {
    DWORD dwData = dwMissing;
    DWORD cbData = sizeof(dwData);
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(hRoot, key.c_str(), 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return dwMissing;
    if (::RegQueryValueExA(hKey, value.c_str(), nullptr, nullptr, reinterpret_cast<LPBYTE>(&dwData),
                           &cbData) != ERROR_SUCCESS)
        dwData = dwMissing;
    ::RegCloseKey(hKey);
    return dwData;
}

DWORD StandInStarts() {
    return ReadRegistryDword(HKEY_LOCAL_MACHINE, kStandInKey, kStandInStarts);
}

void AttachPorts(const std::vector<std::string> &ports) {
    std::string list;
    for (const std::string &port : ports)
        list += (list.empty() ? "" : " ") + port;
    WriteRegistryString(HKEY_LOCAL_MACHINE, kStandInKey, kStandInAttached, list);
}

std::string DefaultPrinterDevice() {
    return ReadRegistryString(HKEY_CURRENT_USER, kWindowsKey, kDeviceValue);
}

void SetDefaultPrinterDevice(const std::string &device) {
    WriteRegistryString(HKEY_CURRENT_USER, kWindowsKey, kDeviceValue, device);
}

std::string DriverDirectory(const char *pszEnvironment) {
    char directory[MAX_PATH] = {};
    DWORD cbNeeded = 0;
    ::GetPrinterDriverDirectoryA(nullptr, const_cast<LPSTR>(pszEnvironment), 1,
                                 reinterpret_cast<LPBYTE>(directory), sizeof(directory), &cbNeeded);
    return directory;
}

std::vector<DriverSeen> InstalledDrivers(const char *pszEnvironment) {
    const LPSTR pszEnv = const_cast<LPSTR>(pszEnvironment);
    DWORD cbNeeded = 0;
    DWORD cDrivers = 0;
    ::EnumPrinterDriversA(nullptr, pszEnv, 3, nullptr, 0, &cbNeeded, &cDrivers);
    std::vector<BYTE> buffer(cbNeeded + 1);
    std::vector<DriverSeen> drivers;
    if (!::EnumPrinterDriversA(nullptr, pszEnv, 3, buffer.data(), cbNeeded, &cbNeeded, &cDrivers))
        return drivers;
    const auto *pDrivers = reinterpret_cast<const DRIVER_INFO_3A *>(buffer.data());
    for (const DRIVER_INFO_3A &info : std::vector<DRIVER_INFO_3A>(pDrivers, pDrivers + cDrivers)) {
        DriverSeen seen = {info.pName,
                           FileName(info.pDataFile),
                           FileName(info.pDriverPath),
                           FileName(info.pConfigFile),
                           info.pMonitorName ? info.pMonitorName : "",
                           {}};
        for (LPCSTR psz = info.pDependentFiles; psz != nullptr && *psz; psz += std::strlen(psz) + 1)
            seen.dependentFiles.push_back(FileName(psz));
        drivers.push_back(seen);
    }
    return drivers;
}

long PrintersNamed(const std::string &name) {
    DWORD cbNeeded = 0;
    DWORD cPrinters = 0;
    ::EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 1, nullptr, 0, &cbNeeded, &cPrinters);
    std::vector<BYTE> buffer(cbNeeded + 1);
    ::EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 1, buffer.data(), cbNeeded, &cbNeeded, &cPrinters);
    const auto *pPrinters = reinterpret_cast<const PRINTER_INFO_1A *>(buffer.data());
    return std::count_if(pPrinters, pPrinters + cPrinters,
                         [&](const PRINTER_INFO_1A &info) { return name == info.pName; });
}

std::string Printer(const std::string &name) {
    HANDLE hPrinter = nullptr;
    if (!::OpenPrinterA(const_cast<LPSTR>(name.c_str()), &hPrinter, nullptr))
        return "";
    DWORD cbNeeded = 0;
    ::GetPrinterA(hPrinter, 2, nullptr, 0, &cbNeeded);
    std::vector<BYTE> buffer(cbNeeded + 1);
    std::string seen;
    if (::GetPrinterA(hPrinter, 2, buffer.data(), cbNeeded, &cbNeeded)) {
        const auto *pInfo = reinterpret_cast<const PRINTER_INFO_2A *>(buffer.data());
        seen = std::string(pInfo->pDriverName) + " " + pInfo->pPrintProcessor + " " +
               pInfo->pDatatype + " " + pInfo->pPortName;
    }
    ::ClosePrinter(hPrinter);
    return seen;
}

void DeletePrinterNamed(const std::string &name) {
    HANDLE hPrinter = nullptr;
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (::OpenPrinterA(const_cast<LPSTR>(name.c_str()), &hPrinter, &defaults)) {
        ::DeletePrinter(hPrinter);
        ::ClosePrinter(hPrinter);
    }
}
