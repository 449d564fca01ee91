#include "install/width_profile.h"

#include "install/driver_tables.h"
#include "install/package_layout.h"

namespace {

constexpr char kEnvironmentX64[] = "Windows x64";
const WidthProfile k32BitWindows = {"Windows NT x86", kX86Folder, LabelFilesX86, false, false};
const WidthProfile k32BitProgramOn64BitWindows = {kEnvironmentX64, kX64Folder, LabelFilesX64, true,
                                                  false};
const WidthProfile k64BitProgram = {kEnvironmentX64, kX64Folder, LabelFilesX64, false, true};

} // namespace

const WidthProfile &WidthProfileOf([[maybe_unused]] bool bWow64) {
#ifdef _WIN64
    return k64BitProgram;
#else
    return bWow64 ? k32BitProgramOn64BitWindows : k32BitWindows;
#endif
}
