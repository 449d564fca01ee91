#pragma once

#include "file_system.h"
#include "status.h"

#include <string>
#include <string_view>
#include <vector>

namespace archive {

// Windows takes either as a separator, in entry names and in paths alike.
inline bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

// Splits an entry name into path components, refusing anything that could land outside
// the destination or that Windows would treat specially (drives, streams, devices).
Status splitEntryName(std::string_view name, std::vector<std::string> &components);

// splitEntryName, then what fs cannot name and a file without a name are refused too.
Status entryComponents(std::string_view name, bool folder, const FileSystem &fs,
                       std::vector<std::string> &components);

} // namespace archive
