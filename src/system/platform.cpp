#include "system/platform.h"

#include <cstdio>

namespace {

constexpr char kSpoolerLibrary[] = "winspool.drv";

template <class Fn> void LookUp(Fn &pfn, HMODULE hModule, LPCSTR pszName) {
    const FARPROC pfnFound = hModule != nullptr ? ::GetProcAddress(hModule, pszName) : nullptr;
    pfn = pfnFound != nullptr ? ProcAs<Fn>(pfnFound) : Missing<Fn>::Call;
}

// By its full path, so that no folder but the system's is searched; the
// altered search path has its own imports found there too.
HMODULE LoadSpoolerLibrary() {
    char szPath[MAX_PATH] = {};
    const UINT nLength = ::GetSystemDirectoryA(szPath, MAX_PATH);
    if (nLength == 0 || nLength >= MAX_PATH)
        return nullptr;
    const int nPath = std::snprintf(szPath + nLength, MAX_PATH - nLength, "\\%s", kSpoolerLibrary);
    if (nPath < 0 || nPath >= static_cast<int>(MAX_PATH - nLength))
        return nullptr;
    return ::LoadLibraryExA(szPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace

PlatformApi::PlatformApi() {
    const HMODULE hSpooler = LoadSpoolerLibrary();
    LookUp(EnumPortsA, hSpooler, "EnumPortsA");
    LookUp(EnumPrintersA, hSpooler, "EnumPrintersA");
    LookUp(GetPrinterDriverDirectoryA, hSpooler, "GetPrinterDriverDirectoryA");
    LookUp(AddPrinterDriverExA, hSpooler, "AddPrinterDriverExA");
    LookUp(AddMonitorA, hSpooler, "AddMonitorA");
    LookUp(DeleteMonitorA, hSpooler, "DeleteMonitorA");
    LookUp(OpenPrinterA, hSpooler, "OpenPrinterA");
    LookUp(SetPrinterA, hSpooler, "SetPrinterA");
    LookUp(DeletePrinter, hSpooler, "DeletePrinter");
    LookUp(AddPrinterA, hSpooler, "AddPrinterA");
    LookUp(ClosePrinter, hSpooler, "ClosePrinter");
    LookUp(AddPortA, hSpooler, "AddPortA");
    LookUp(ConfigurePortA, hSpooler, "ConfigurePortA");
    LookUp(DeletePortA, hSpooler, "DeletePortA");

    const HMODULE hAdvapi = ::GetModuleHandleA("advapi32");
    LookUp(OpenSCManagerA, hAdvapi, "OpenSCManagerA");
    LookUp(OpenServiceA, hAdvapi, "OpenServiceA");
    LookUp(QueryServiceStatus, hAdvapi, "QueryServiceStatus");
    LookUp(StartServiceA, hAdvapi, "StartServiceA");
    LookUp(ControlService, hAdvapi, "ControlService");
    LookUp(CloseServiceHandle, hAdvapi, "CloseServiceHandle");
    LookUp(OpenProcessToken, hAdvapi, "OpenProcessToken");
    LookUp(LookupPrivilegeValueA, hAdvapi, "LookupPrivilegeValueA");
    LookUp(AdjustTokenPrivileges, hAdvapi, "AdjustTokenPrivileges");

    LookUp(InitCommonControlsEx, ::GetModuleHandleA("comctl32"), "InitCommonControlsEx");

    const HMODULE hKernel = ::GetModuleHandleA("kernel32");
    LookUp(SetDefaultDllDirectories, hKernel, "SetDefaultDllDirectories");
    LookUp(SetDllDirectoryA, hKernel, "SetDllDirectoryA");
}

PlatformApi &Platform() {
    static PlatformApi api;
    return api;
}
