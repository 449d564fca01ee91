#pragma once

#include "status.h"

#include <string>
#include <vector>

namespace archive {

struct Command {
    std::string archive;
    std::string destination = ".";
    bool overwrite = false;
    bool hidden = false; // -hide; the DLL never opens a window either way
};

// Splits at blanks outside double quotes. Quotes only group and are dropped; a
// backslash is an ordinary character, so -o"C:\" yields -oC:\ as callers expect.
Status splitCommandLine(const std::string &line, std::vector<std::string> &tokens);

// Accepts "x" with the switches -y, -o<dir> and -hide (any case, any order) and exactly
// one archive name.
Status parseCommandLine(const std::string &line, Command &command);

} // namespace archive
