#include "support/win_helpers.h"

#include <winspool.h>

#include <fstream>
#include <iterator>

namespace {

constexpr char kWindowsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr char kDeviceValue[] = "Device";

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
    for (DWORD i = 0; i < cDrivers; ++i)
        drivers.push_back({pDrivers[i].pName, pDrivers[i].pDataFile});
    return drivers;
}
