#pragma once

#include "archive_reader.h"
#include "file_system.h"
#include "status.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace archive {

struct ExtractOptions {
    std::string destination = ".";
    // Without it the extraction refuses to start when any file it would write exists.
    bool overwrite = false;
};

struct Progress {
    enum class Stage { EntryStart, EntryData, EntryDone };
    Stage stage;
    std::size_t index;
    std::size_t count;
    std::string_view name;
    bool folder;
    std::uint64_t entrySize;
    std::uint64_t entryDone;
    std::uint64_t totalSize;
    std::uint64_t totalDone;
};

// Returning false cancels the extraction.
using ProgressHandler = std::function<bool(const Progress &)>;

struct ExtractSummary {
    std::size_t files = 0;
    std::size_t folders = 0;
    std::uint64_t bytes = 0;
};

// Takes the format from the content (7z or ZIP) and validates every entry before writing
// anything; data errors found while extracting (CRC, decoding) stop at the failing entry,
// leaving the earlier ones in place. On a machine with a second core, the files of a 7z's
// later folders are written on a thread of their own meanwhile, yet count (and stay) only
// in order, as if written one after another.
Status extractArchive(ByteSource &source, FileSystem &fs, const ExtractOptions &options,
                      const ProgressHandler &progress, ExtractSummary &summary);

// Short human-readable outcome, as shown to the caller of the DLL.
std::string describe(const Status &status, const ExtractSummary &summary);

} // namespace archive
