// The program's entry point: hands over to the one application object.
#include "framework/win_app.h"

#include "system/platform.h"

namespace {

// An elevated program must load libraries only from its own folder and the
// system's, never the current directory or the PATH. Where the system lacks
// SetDefaultDllDirectories, SetDllDirectoryA("") at least takes the current
// directory out of the search order; where it lacks both, nothing is done.
void RestrictDllSearch() {
    PlatformApi &api = Platform();
    if (!api.SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_APPLICATION_DIR |
                                      LOAD_LIBRARY_SEARCH_SYSTEM32))
        api.SetDllDirectoryA("");
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    return AfxGetApp()->Run();
}
