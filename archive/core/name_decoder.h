#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace archive {

// Entry names travel as UTF-8 from here on, whatever the archive stored.

// Names without the UTF-8 flag, read as 7-Zip reads them: in the OEM code page of the running
// Windows (GetOEMCP), where DOS and Windows writers stored them; elsewhere in code page 437.
std::string utf8FromOem(std::string_view oem);

// Fails on an unpaired surrogate, which no file system name can hold.
bool utf8FromUtf16(const std::uint8_t *littleEndian, std::size_t units, std::string &utf8);

// Fails on text that is not well-formed UTF-8. Windows 95 has no code page for UTF-8 of
// its own, so the library converts it itself.
bool utf16FromUtf8(std::string_view utf8, std::u16string &units);

// The name as Windows compares it, whatever the letter case: its upper-case table for
// the scripts with cases (Latin, Greek, Cyrillic, full-width Latin); other text as is.
std::string foldCase(std::string_view utf8);

// Well-formed UTF-8: no overlong forms, surrogates or code points past U+10FFFF.
bool isUtf8(std::string_view text);

} // namespace archive
