// The seam: one table of replaceable functions through which the program
// reaches the platform. Entries start as the real functions; tests swap
// single entries to record calls or inject what Wine cannot produce. The
// spooler's functions, and those the oldest Windows the program starts on
// lacks, are looked up at run time; one the system lacks fails with
// ERROR_PROC_NOT_FOUND.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <winspool.h>

struct PlatformApi {
    PlatformApi();

    // Print spooler, from winspool.drv of the system directory
    decltype(&::EnumPortsA) EnumPortsA = nullptr;
    decltype(&::EnumPrintersA) EnumPrintersA = nullptr;
    decltype(&::GetPrinterDriverDirectoryA) GetPrinterDriverDirectoryA = nullptr;
    decltype(&::AddPrinterDriverExA) AddPrinterDriverExA = nullptr;
    decltype(&::AddMonitorA) AddMonitorA = nullptr;
    decltype(&::DeleteMonitorA) DeleteMonitorA = nullptr;
    decltype(&::OpenPrinterA) OpenPrinterA = nullptr;
    decltype(&::SetPrinterA) SetPrinterA = nullptr;
    decltype(&::DeletePrinter) DeletePrinter = nullptr;
    decltype(&::AddPrinterA) AddPrinterA = nullptr;
    decltype(&::ClosePrinter) ClosePrinter = nullptr;
    decltype(&::AddPortA) AddPortA = nullptr;
    decltype(&::ConfigurePortA) ConfigurePortA = nullptr;
    decltype(&::DeletePortA) DeletePortA = nullptr;

    // Service control manager, from advapi32 of the NT line only
    decltype(&::OpenSCManagerA) OpenSCManagerA = nullptr;
    decltype(&::OpenServiceA) OpenServiceA = nullptr;
    decltype(&::QueryServiceStatus) QueryServiceStatus = nullptr;
    decltype(&::StartServiceA) StartServiceA = nullptr;
    decltype(&::ControlService) ControlService = nullptr;
    decltype(&::CloseServiceHandle) CloseServiceHandle = nullptr;

    // Token privileges, likewise
    decltype(&::OpenProcessToken) OpenProcessToken = nullptr;
    decltype(&::LookupPrivilegeValueA) LookupPrivilegeValueA = nullptr;
    decltype(&::AdjustTokenPrivileges) AdjustTokenPrivileges = nullptr;
    decltype(&::CloseHandle) CloseHandle = ::CloseHandle;

    // Registry and private-profile files
    decltype(&::RegOpenKeyExA) RegOpenKeyExA = ::RegOpenKeyExA;
    decltype(&::RegCreateKeyExA) RegCreateKeyExA = ::RegCreateKeyExA;
    decltype(&::RegQueryValueExA) RegQueryValueExA = ::RegQueryValueExA;
    decltype(&::RegSetValueExA) RegSetValueExA = ::RegSetValueExA;
    decltype(&::RegEnumValueA) RegEnumValueA = ::RegEnumValueA;
    decltype(&::RegCloseKey) RegCloseKey = ::RegCloseKey;
    decltype(&::GetPrivateProfileSectionNamesA) GetPrivateProfileSectionNamesA =
        ::GetPrivateProfileSectionNamesA;
    decltype(&::GetPrivateProfileStringA) GetPrivateProfileStringA = ::GetPrivateProfileStringA;

    // Files and directories
    decltype(&::CopyFileA) CopyFileA = ::CopyFileA;
    decltype(&::DeleteFileA) DeleteFileA = ::DeleteFileA;
    decltype(&::MoveFileA) MoveFileA = ::MoveFileA;
    decltype(&::CreateFileA) CreateFileA = ::CreateFileA;
    decltype(&::GetFileInformationByHandle) GetFileInformationByHandle =
        ::GetFileInformationByHandle;
    decltype(&::CreateDirectoryA) CreateDirectoryA = ::CreateDirectoryA;
    decltype(&::GetFileAttributesA) GetFileAttributesA = ::GetFileAttributesA;
    decltype(&::RemoveDirectoryA) RemoveDirectoryA = ::RemoveDirectoryA;
    decltype(&::FindFirstFileA) FindFirstFileA = ::FindFirstFileA;
    decltype(&::FindNextFileA) FindNextFileA = ::FindNextFileA;
    decltype(&::FindClose) FindClose = ::FindClose;
    decltype(&::GetCurrentDirectoryA) GetCurrentDirectoryA = ::GetCurrentDirectoryA;
    decltype(&::GetSystemDirectoryA) GetSystemDirectoryA = ::GetSystemDirectoryA;
    decltype(&::GetWindowsDirectoryA) GetWindowsDirectoryA = ::GetWindowsDirectoryA;
    decltype(&::GetModuleFileNameA) GetModuleFileNameA = ::GetModuleFileNameA;

    // Process, version, libraries, threads, pauses
    decltype(&::GetCurrentProcess) GetCurrentProcess = ::GetCurrentProcess;
    decltype(&::GetVersionExA) GetVersionExA = ::GetVersionExA;
    decltype(&::GetModuleHandleA) GetModuleHandleA = ::GetModuleHandleA;
    decltype(&::GetProcAddress) GetProcAddress = ::GetProcAddress;
    decltype(&::LoadLibraryA) LoadLibraryA = ::LoadLibraryA;
    decltype(&::FreeLibrary) FreeLibrary = ::FreeLibrary;
    decltype(&::CreateThread) CreateThread = ::CreateThread;
    decltype(&::Sleep) Sleep = ::Sleep;
    decltype(&::MsgWaitForMultipleObjects) MsgWaitForMultipleObjects = ::MsgWaitForMultipleObjects;
    decltype(&::GetTickCount) GetTickCount = ::GetTickCount;
    decltype(&::GetLastError) GetLastError = ::GetLastError;
    decltype(&::LocalFree) LocalFree = ::LocalFree;
    // Missing before Windows 8 without its update, and before XP SP1
    decltype(&::SetDefaultDllDirectories) SetDefaultDllDirectories = nullptr;
    decltype(&::SetDllDirectoryA) SetDllDirectoryA = nullptr;

    // Missing from the common controls of Windows 95 and NT 4.0 before Internet
    // Explorer 3, where InitCommonControls registers the same classes
    decltype(&::InitCommonControlsEx) InitCommonControlsEx = nullptr;

    // Characters of the process's code page
    decltype(&::CharNextExA) CharNextExA = ::CharNextExA;

    // User interface outside the program's own windows
    decltype(&::MessageBoxA) MessageBoxA = ::MessageBoxA;
};

// The one table the whole program calls through.
PlatformApi &Platform();

// Stands in for a function the system lacks, failing as a call to it would.
template <class Fn> struct Missing;
template <class R, class... Args> struct Missing<R(WINAPI *)(Args...)> {
    static R WINAPI Call(Args...) {
        ::SetLastError(ERROR_PROC_NOT_FOUND);
        return R();
    }
};

// A function looked up at run time, as the type it really has; the detour
// through void (*)() tells the compiler the change of signature is meant.
template <class Fn> Fn ProcAs(FARPROC pfn) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(pfn));
}
