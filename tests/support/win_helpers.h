// Helpers of every test program: waiting, and the files, registry and
// spooler of the test's Wine prefix, written and read through Win32.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Polls until pred holds or the time is up; returns whether it held.
bool WaitFor(const std::function<bool()> &pred, DWORD dwTimeoutMs = 20000);

void WriteTextFile(const std::string &path, const std::string &content);
bool FileExists(const std::string &path);
std::string ReadTextFile(const std::string &path);
void RemoveTree(const std::string &path);

// A string value, empty when absent.
std::string ReadRegistryString(HKEY hRoot, const std::string &key, const std::string &value);
void WriteRegistryString(HKEY hRoot, const std::string &key, const std::string &value,
                         const std::string &data, DWORD dwOptions = 0);
void DeleteRegistryValue(HKEY hRoot, const std::string &key, const std::string &value);

// The "Device" value of the default printer.
std::string DefaultPrinterDevice();
void SetDefaultPrinterDevice(const std::string &device);

// The spooler's driver directory of an environment.
std::string DriverDirectory(const char *pszEnvironment);
// The data file of each driver registered for an environment, by driver name.
struct DriverSeen {
    std::string name, dataFile;
};
std::vector<DriverSeen> InstalledDrivers(const char *pszEnvironment);
