#include "shell/protected_folder.h"

#include "system/platform.h"

#include <sddl.h>

namespace {

// Protected, so nothing is inherited from the root of the drive.
constexpr char kProtectedFolderSddl[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr char kAdvapi32[] = "advapi32";
constexpr char kConvertSddl[] = "ConvertStringSecurityDescriptorToSecurityDescriptorA";

using ConvertSddlFn = BOOL(WINAPI *)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR *, PULONG);

} // namespace

DWORD CreateProtectedFolder(LPCSTR lpszPath) {
    const HMODULE hAdvapi = Platform().GetModuleHandleA(kAdvapi32);
    const FARPROC pfnConvert =
        hAdvapi != nullptr ? Platform().GetProcAddress(hAdvapi, kConvertSddl) : nullptr;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, FALSE};
    // Windows 95 to Me may export the function and answer that it has none.
    if (pfnConvert != nullptr &&
        !ProcAs<ConvertSddlFn>(pfnConvert)(kProtectedFolderSddl, SDDL_REVISION_1,
                                           &attributes.lpSecurityDescriptor, nullptr)) {
        const DWORD dwError = Platform().GetLastError();
        if (dwError != ERROR_CALL_NOT_IMPLEMENTED)
            return dwError;
    }
    const DWORD dwError =
        Platform().CreateDirectoryA(lpszPath, &attributes) ? 0 : Platform().GetLastError();
    if (attributes.lpSecurityDescriptor != nullptr)
        Platform().LocalFree(attributes.lpSecurityDescriptor);
    return dwError;
}
