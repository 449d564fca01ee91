#include "support/win_helpers.h"

#include "support/spooler_stand_in.h"
#include "support/system_width.h"

#include <winspool.h>

#include <fstream>
#include <iterator>
#include <vector>

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

std::string ReadRegistryString(HKEY hRoot, const std::string &key, const std::string &value) {
    char data[512] = {};
    DWORD cbData = sizeof(data) - 1;
    ::RegGetValueA(hRoot, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, data, &cbData);
    return data;
}

void WriteRegistryString(HKEY hRoot, const std::string &key, const std::string &value,
                         const std::string &data) {
    ::RegSetKeyValueA(hRoot, key.c_str(), value.c_str(), REG_SZ, data.c_str(),
                      static_cast<DWORD>(data.size() + 1));
}

DWORD StandInStarts() {
    DWORD dwStarts = 0;
    DWORD cbData = sizeof(dwStarts);
    ::RegGetValueA(HKEY_LOCAL_MACHINE, kStandInKey, kStandInStarts, RRF_RT_REG_DWORD, nullptr,
                   &dwStarts, &cbData);
    return dwStarts;
}

void MarkPrinterOnLine(const std::string &printer, DWORD dwFlag) {
    const std::string key = std::string(kSpoolerPrintersKey) + "\\" + printer;
    HKEY hKey = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_CONFIG, key.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                          KEY_SET_VALUE, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return;
    ::RegSetValueExA(hKey, kOnLineValue, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&dwFlag),
                     sizeof(dwFlag));
    ::RegCloseKey(hKey);
}

void AttachPorts(const std::string &ports) {
    WriteRegistryString(HKEY_LOCAL_MACHINE, kStandInKey, kStandInAttached, ports);
}

std::string Printer(const std::string &name) {
    HANDLE hPrinter = nullptr;
    std::vector<BYTE> printer(65536), driver(65536);
    DWORD cbNeeded = 0;
    const bool bFound = ::OpenPrinterA(const_cast<LPSTR>(name.c_str()), &hPrinter, nullptr) &&
                        ::GetPrinterA(hPrinter, 2, printer.data(), 65536, &cbNeeded) &&
                        ::GetPrinterDriverA(hPrinter, const_cast<LPSTR>(DriverEnvironment()), 3,
                                            driver.data(), 65536, &cbNeeded);
    ::ClosePrinter(hPrinter);
    if (!bFound)
        return "";
    const auto &info = *reinterpret_cast<const PRINTER_INFO_2A *>(printer.data());
    const LPCSTR pszMonitor = reinterpret_cast<const DRIVER_INFO_3A *>(driver.data())->pMonitorName;
    return std::string(info.pDriverName) + " " + info.pPrintProcessor + " " + info.pDatatype + " " +
           info.pPortName +
           (pszMonitor != nullptr && *pszMonitor ? " " + std::string(pszMonitor) : "");
}
