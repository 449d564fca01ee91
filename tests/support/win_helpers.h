// Helpers of every test program: waiting, and the files, registry and
// spooler of the test's Wine prefix, written and read through Win32.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Polls until pred holds or the time is up; returns whether it held.
bool WaitFor(const std::function<bool()> &pred, DWORD dwTimeoutMs = 20000);

void WriteTextFile(const std::string &path, const std::string &content);
bool FileExists(const std::string &path);
std::string ReadTextFile(const std::string &path);

// A string value, empty when absent. Writing makes the key if need be.
std::string ReadRegistryString(HKEY hRoot, const std::string &key, const std::string &value);
void WriteRegistryString(HKEY hRoot, const std::string &key, const std::string &value,
                         const std::string &data);

// "driver processor datatype port" of the printer, then its driver's
// monitor if it has one; empty when there is no such printer.
std::string Printer(const std::string &name);
