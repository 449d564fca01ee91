// The program's entry point: hands over to the one application object.
#include "framework/win_app.h"

#include "system/platform.h"

namespace {

// An elevated program must not load libraries planted in the current
// directory; SetDllDirectoryA("") takes it out of the search order where
// the system has the call.
void RemoveCurrentDirectoryFromDllSearch() {
    using SetDllDirectoryFn = BOOL(WINAPI *)(LPCSTR);
    HMODULE hKernel = Platform().GetModuleHandleA("kernel32");
    auto pfn = ProcAs<SetDllDirectoryFn>(Platform().GetProcAddress(hKernel, "SetDllDirectoryA"));
    if (pfn != nullptr)
        pfn("");
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RemoveCurrentDirectoryFromDllSearch();
    return AfxGetApp()->Run();
}
