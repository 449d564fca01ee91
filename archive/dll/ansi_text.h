#pragma once

#include <string>
#include <string_view>

namespace archive {

// Callers of the DLL speak the ANSI code page; the core speaks UTF-8.
std::string utf8FromAnsi(std::string_view ansi);
// Characters the ANSI code page lacks become '?'.
std::string ansiFromUtf8(std::string_view utf8);

} // namespace archive
