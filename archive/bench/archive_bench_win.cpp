// Times SevenZip() the way the installer calls it, or plain Win32 writes of a tree held in
// memory, the floor any extractor stands on; run under Wine by tools/bench-archive.
//   archive_bench_win ARCHIVE DEST_DIR RUNS
//   archive_bench_win --plain SOURCE_DIR DEST_DIR RUNS
// Prints one line: "median=<seconds> bytes=<n> files=<n> peak_mb=<n> start_mb=<n>".
#include "sevenzip.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

ULONGLONG totalBytes = 0;
ULONGLONG totalFiles = 0;

// Going through void (*)() tells GCC the signature change is deliberate.
template <typename Function> Function lookup(HMODULE dll, const char *name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
}

BOOL CALLBACK onProgress(HWND, UINT, UINT state, LPVOID data) {
    const auto &record = *static_cast<const SEVENZIP_PROGRESS *>(data);
    totalBytes = record.ullTotalSize;
    if (state == SEVENZIP_STATE_ENTRY_END && !record.fIsFolder)
        ++totalFiles;
    return TRUE;
}

double workingSetMb(bool peak) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return double(peak ? counters.PeakWorkingSetSize : counters.WorkingSetSize) / 1048576.0;
}

// The median time of runs calls of job(destination of that run).
double median(int runs, const std::string &dest,
              const std::function<bool(const std::string &)> &job) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        LARGE_INTEGER start;
        LARGE_INTEGER stop;
        QueryPerformanceCounter(&start);
        if (!job(dest + "\\run" + std::to_string(run)))
            std::exit(1);
        QueryPerformanceCounter(&stop);
        seconds.push_back(double(stop.QuadPart - start.QuadPart) / double(frequency.QuadPart));
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

struct Item {
    std::wstring path; // relative
    bool folder;
    std::string data;
};

void readTree(const std::wstring &root, const std::wstring &relative, std::vector<Item> &items) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((root + relative + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = relative + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            items.push_back({path, true, {}});
            readTree(root, path, items);
            continue;
        }
        Item item{path, false, std::string(found.nFileSizeLow, '\0')};
        const HANDLE file = CreateFileW((root + path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD read = 0;
        ReadFile(file, &item.data[0], found.nFileSizeLow, &read, nullptr);
        CloseHandle(file);
        items.push_back(std::move(item));
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

bool writeTree(const std::vector<Item> &items, const std::wstring &dest) {
    if (!CreateDirectoryW(dest.c_str(), nullptr))
        return false;
    for (const Item &item : items) {
        const std::wstring path = dest + item.path;
        if (item.folder) {
            if (!CreateDirectoryW(path.c_str(), nullptr))
                return false;
            continue;
        }
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        const bool ok =
            file != INVALID_HANDLE_VALUE &&
            WriteFile(file, item.data.data(), DWORD(item.data.size()), &written, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        if (!ok)
            return false;
    }
    return true;
}

std::wstring wide(const std::string &text) {
    return std::wstring(text.begin(), text.end());
}

} // namespace

int main(int argc, char **argv) {
    const bool plain = argc == 5 && std::string(argv[1]) == "--plain";
    if (argc != 4 && !plain) {
        std::fprintf(stderr, "usage: archive_bench_win [--plain] ARCHIVE|SOURCE DEST_DIR RUNS\n");
        return 2;
    }
    const std::string source = argv[plain ? 2 : 1];
    const std::string dest = argv[plain ? 3 : 2];
    const int runs = std::max(1, std::atoi(argv[plain ? 4 : 3]));
    double seconds = 0;
    double start = 0;
    if (plain) {
        std::vector<Item> items;
        readTree(wide(source), L"", items);
        for (const Item &item : items) {
            totalBytes += item.data.size();
            totalFiles += item.folder ? 0 : 1;
        }
        CreateDirectoryW(wide(dest).c_str(), nullptr);
        start = workingSetMb(false);
        seconds =
            median(runs, dest, [&](const std::string &to) { return writeTree(items, wide(to)); });
    } else {
        HMODULE dll = LoadLibraryA(SEVENZIP_DLL_NAME);
        const auto sevenZip = lookup<LPSEVENZIP>(dll, "SevenZip");
        const auto setOwner = lookup<LPSEVENZIPSETOWNERWINDOWEX>(dll, "SevenZipSetOwnerWindowEx");
        const auto killOwner =
            lookup<LPSEVENZIPKILLOWNERWINDOWEX>(dll, "SevenZipKillOwnerWindowEx");
        if (sevenZip == nullptr || setOwner == nullptr || killOwner == nullptr) {
            std::fprintf(stderr, "cannot load %s\n", SEVENZIP_DLL_NAME);
            return 1;
        }
        start = workingSetMb(false);
        const HWND owner = reinterpret_cast<HWND>(0x1);
        seconds = median(runs, dest, [&](const std::string &to) {
            static char output[16385];
            const std::string command = "x -y \"" + source + "\" -o\"" + to + "\\\" -hide";
            totalFiles = 0;
            setOwner(owner, onProgress);
            const int code = sevenZip(owner, command.c_str(), output, sizeof output - 1);
            killOwner(owner);
            if (code != 0)
                std::fprintf(stderr, "SevenZip failed (%d): %s\n", code, output);
            return code == 0;
        });
    }
    std::printf("median=%.6f bytes=%llu files=%llu peak_mb=%.1f start_mb=%.1f\n", seconds,
                totalBytes, totalFiles, workingSetMb(true), start);
    return 0;
}
