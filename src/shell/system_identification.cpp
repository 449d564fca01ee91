// System identification: bit width and Windows version, shown in the status line.
#include "shell/system_identification.h"

#include "res/texts.h"
#include "system/platform.h"

#include <iterator>

namespace {

constexpr char kKernel32[] = "kernel32";
constexpr char kIsWow64Process[] = "IsWow64Process";
constexpr bool kNative64Bit = sizeof(void *) == 8;

// The extended version record first; systems that predate it take the basic one.
constexpr DWORD kExtendedVersionRecordSize = 156;
constexpr DWORD kBasicVersionRecordSize = 148;
static_assert(sizeof(OSVERSIONINFOEXA) == kExtendedVersionRecordSize, "extended record size");
static_assert(sizeof(OSVERSIONINFOA) == kBasicVersionRecordSize, "basic record size");

constexpr int kUnknownVersion = -1;
constexpr int kWindows95 = 1;
constexpr int kWindows98 = 2;
constexpr int kWindowsMe = 3;
constexpr int kWindowsNt = kVersionCodeWindowsNt;
constexpr int kWindows2000 = 5;
constexpr int kWindowsXp = 6;
constexpr int kWindows2003 = 7;
constexpr int kWindowsVista = 8;
constexpr int kWindows7 = 9;
constexpr int kWindows8 = 10;
constexpr int kWindows81 = 11;
constexpr int kWindows10 = 12;
// A platform of neither Windows family counts as Windows 2000.
constexpr int kOtherPlatform = kWindows2000;

// Indexed by version code - 1; every name ends with a blank.
const char *const kVersionNames[] = {
    "Microsoft Windows 95 ",   "Microsoft Windows 98 ",    "Microsoft Windows Me ",
    "Microsoft Windows NT ",   "Microsoft Windows 2000 ",  "Microsoft Windows XP ",
    "Microsoft Windows 2003 ", "Microsoft Windows Vista ", "Microsoft Windows 7 ",
    "Microsoft Windows 8 ",    "Microsoft Windows 8.1 ",   "Microsoft Windows 10 ",
};
static_assert(sizeof(kVersionNames) / sizeof(kVersionNames[0]) == kWindows10, "one name a code");

using IsWow64ProcessFn = BOOL(WINAPI *)(HANDLE, PBOOL);

int ClassifyWindows9x(DWORD dwMajor, DWORD dwMinor) {
    if (dwMajor != 4)
        return kUnknownVersion;
    switch (dwMinor) {
    case 0:
        return kWindows95;
    case 10:
        return kWindows98;
    case 90:
        return kWindowsMe;
    default:
        return kUnknownVersion;
    }
}

int ClassifyWindowsNt(DWORD dwMajor, DWORD dwMinor) {
    if (dwMajor <= 4)
        return kWindowsNt;
    if (dwMajor == 5) {
        const int codes[] = {kWindows2000, kWindowsXp, kWindows2003};
        return dwMinor < std::size(codes) ? codes[dwMinor] : kUnknownVersion;
    }
    if (dwMajor == 6) {
        const int codes[] = {kWindowsVista, kWindows7, kWindows8, kWindows81};
        return dwMinor < std::size(codes) ? codes[dwMinor] : kUnknownVersion;
    }
    return dwMajor == 10 ? kWindows10 : kUnknownVersion;
}

} // namespace

// A 64-bit program runs on 64-bit Windows only, where the WOW64 query says FALSE.
BOOL QueryWow64() {
    if (kNative64Bit)
        return TRUE;
    BOOL bWow64 = FALSE;
    const HMODULE hKernel = Platform().GetModuleHandleA(kKernel32);
    const FARPROC pfn = hKernel ? Platform().GetProcAddress(hKernel, kIsWow64Process) : nullptr;
    if (pfn != nullptr)
        ProcAs<IsWow64ProcessFn>(pfn)(Platform().GetCurrentProcess(), &bWow64);
    return bWow64;
}

CString DescribeSystem(int nVersionCode, BOOL bWow64) {
    LPCSTR pszName = "";
    if (nVersionCode >= kWindows95 && nVersionCode <= kWindows10)
        pszName = kVersionNames[nVersionCode - 1];
    return Formatted(kSystemStatus, pszName, bWow64 ? k64Bit : k32Bit);
}

int QueryWindowsVersionCode() {
    OSVERSIONINFOEXA info = {};
    info.dwOSVersionInfoSize = kExtendedVersionRecordSize;
    auto *pInfo = reinterpret_cast<OSVERSIONINFOA *>(&info);
    if (!Platform().GetVersionExA(pInfo)) {
        info.dwOSVersionInfoSize = kBasicVersionRecordSize;
        if (!Platform().GetVersionExA(pInfo))
            return kUnknownVersion;
    }

    switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
        return ClassifyWindows9x(info.dwMajorVersion, info.dwMinorVersion);
    case VER_PLATFORM_WIN32_NT:
        return ClassifyWindowsNt(info.dwMajorVersion, info.dwMinorVersion);
    default:
        return kOtherPlatform;
    }
}
