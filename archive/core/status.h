#pragma once

#include <string>
#include <utility>

namespace archive {

// Values double as the DLL's return codes, so they must never be renumbered.
enum class ErrorCode : int {
    None = 0,
    BadCommand = 1,
    ArchiveOpen = 2,
    BadArchive = 3,
    Unsupported = 4,
    DataError = 5,
    UnsafePath = 6,
    FileExists = 7,
    WriteError = 8,
    Cancelled = 9,
    Internal = 10,
};

struct Status {
    ErrorCode code = ErrorCode::None;
    std::string message;

    Status() = default;
    Status(ErrorCode c, std::string text) : code(c), message(std::move(text)) {}

    bool ok() const { return code == ErrorCode::None; }
    explicit operator bool() const { return ok(); }
};

} // namespace archive
