// Times SevenZip() the way the installer calls it; run under Wine by tools/bench-archive.
#include "sevenzip.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

ULONGLONG totalBytes = 0;

// Going through void (*)() tells GCC the signature change is deliberate.
template <typename Function> Function lookup(HMODULE dll, const char *name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
}

BOOL CALLBACK onProgress(HWND, UINT, UINT, LPVOID record) {
    totalBytes = static_cast<const SEVENZIP_PROGRESS *>(record)->ullTotalSize;
    return TRUE;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: archive_bench_win ARCHIVE DEST_DIR [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
    HMODULE dll = LoadLibraryA(SEVENZIP_DLL_NAME);
    if (dll == nullptr) {
        std::fprintf(stderr, "cannot load %s\n", SEVENZIP_DLL_NAME);
        return 1;
    }
    const auto sevenZip = lookup<LPSEVENZIP>(dll, "SevenZip");
    const auto setOwner = lookup<LPSEVENZIPSETOWNERWINDOWEX>(dll, "SevenZipSetOwnerWindowEx");
    const auto killOwner = lookup<LPSEVENZIPKILLOWNERWINDOWEX>(dll, "SevenZipKillOwnerWindowEx");
    if (sevenZip == nullptr || setOwner == nullptr || killOwner == nullptr) {
        std::fprintf(stderr, "missing exports\n");
        return 1;
    }

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double best = 0;
    static char output[16385];
    const HWND owner = reinterpret_cast<HWND>(0x1);
    for (int run = 0; run < runs; ++run) {
        const std::string command = "x -y \"" + std::string(argv[1]) + "\" -o\"" + argv[2] +
                                    "\\run" + std::to_string(run) + "\\\" -hide";
        setOwner(owner, onProgress);
        LARGE_INTEGER start;
        LARGE_INTEGER stop;
        QueryPerformanceCounter(&start);
        const int code = sevenZip(owner, command.c_str(), output, sizeof output - 1);
        QueryPerformanceCounter(&stop);
        killOwner(owner);
        if (code != 0) {
            std::fprintf(stderr, "SevenZip failed (%d): %s\n", code, output);
            return 1;
        }
        const double seconds = double(stop.QuadPart - start.QuadPart) / double(frequency.QuadPart);
        if (run == 0 || seconds < best)
            best = seconds;
    }
    const double megabytes = double(totalBytes) / 1e6;
    std::printf("%.1f MB in %.3f s = %.1f MB/s (best of %d)\n", megabytes, best, megabytes / best,
                runs);
    return 0;
}
