// Fixed texts and positions shared by the installation sequences and the
// printer creation that ends them.
#pragma once

#include <windows.h>

constexpr char kSpoolerService[] = "Spooler";
constexpr char kRawDatatype[] = "RAW";

// The driver record: its level, and its version, older for Windows NT 4.0.
constexpr DWORD kDriverInfoLevel = 3;
constexpr DWORD kDriverVersion = 3;
constexpr DWORD kWindowsNtDriverVersion = 2;
