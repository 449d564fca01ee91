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
// A DWORD value, dwMissing when absent.
DWORD ReadRegistryDword(HKEY hRoot, const std::string &key, const std::string &value,
                        DWORD dwMissing = 0);

// The "Device" value of the default printer.
std::string DefaultPrinterDevice();
void SetDefaultPrinterDevice(const std::string &device);

// The spooler's driver directory of an environment.
std::string DriverDirectory(const char *pszEnvironment);
// Each driver registered for an environment: its name, its files without
// their directory, and its monitor.
struct DriverSeen {
    std::string name, dataFile, driverPath, configFile, monitor;
    std::vector<std::string> dependentFiles;
};
std::vector<DriverSeen> InstalledDrivers(const char *pszEnvironment);

// How many local printers bear the name.
long PrintersNamed(const std::string &name);
// "driver processor datatype port" of the printer, empty when there is none.
std::string Printer(const std::string &name);
void DeletePrinterNamed(const std::string &name);
