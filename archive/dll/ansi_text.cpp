#include "ansi_text.h"

#include <windows.h>

namespace archive {
namespace {

std::string convert(std::string_view text, UINT from, UINT to) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(from, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(from, 0, text.data(), size, &wide[0], units);
    const int bytes = WideCharToMultiByte(to, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(to, 0, wide.data(), units, &out[0], bytes, nullptr, nullptr);
    return out;
}

} // namespace

std::string utf8FromAnsi(std::string_view ansi) {
    return convert(ansi, CP_ACP, CP_UTF8);
}

std::string ansiFromUtf8(std::string_view utf8) {
    return convert(utf8, CP_UTF8, CP_ACP);
}

} // namespace archive
