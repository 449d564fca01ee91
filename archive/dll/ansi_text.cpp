#include "ansi_text.h"

#include "name_decoder.h"

#include <windows.h>

namespace archive {

// The UTF-8 side by the library's own conversion, as Windows 95 converts no UTF-8.
std::string utf8FromAnsi(std::string_view ansi) {
    if (ansi.empty())
        return {};
    const int size = static_cast<int>(ansi.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, &wide[0], units);
    std::string out;
    utf8FromUtf16(reinterpret_cast<const std::uint8_t *>(wide.data()), wide.size(), out);
    return out;
}

std::string ansiFromUtf8(std::string_view utf8) {
    std::u16string wide;
    if (!utf16FromUtf8(utf8, wide) || wide.empty())
        return {};
    const auto *units = reinterpret_cast<const wchar_t *>(wide.data());
    const int size = static_cast<int>(wide.size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, units, size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, units, size, &out[0], bytes, nullptr, nullptr);
    return out;
}

} // namespace archive
