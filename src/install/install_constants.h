// The spooler's service and the data type every driver and printer of the
// package is handed to it with.
#pragma once

constexpr char kSpoolerService[] = "Spooler";
constexpr char kRawDatatype[] = "RAW";
// The printer record the spooler is handed and lists printers with.
constexpr DWORD kPrinterInfoLevel = 2;
