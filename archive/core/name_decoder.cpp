#include "name_decoder.h"

#include "little_endian.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace archive {
namespace {

#ifndef _WIN32
// Code points of the bytes 0x80 to 0xFF; the lower half is ASCII.
constexpr char16_t kOemHighHalf[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};
#endif

void appendUtf8(std::string &out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char32_t upperCase(char32_t c) {
    const auto between = [c](char32_t first, char32_t last) { return c >= first && c <= last; };
    if (between('a', 'z') || (between(0xE0, 0xFE) && c != 0xF7) || between(0x3B1, 0x3C1) ||
        between(0x3C3, 0x3CB) || between(0x430, 0x44F) || between(0xFF41, 0xFF5A))
        return c - 0x20;
    if (c == 0xFF)
        return 0x178;
    if (c == 0x3C2)
        return 0x3A3;
    if (between(0x450, 0x45F))
        return c - 0x50;
    // In Latin Extended-A and the Cyrillic supplements each capital precedes its small letter.
    const bool oddSmall = between(0x100, 0x137) || between(0x14A, 0x177) || between(0x460, 0x481) ||
                          between(0x48A, 0x4BF) || between(0x4D0, 0x52F);
    const bool evenSmall = between(0x139, 0x148) || between(0x179, 0x17E) || between(0x4C1, 0x4CE);
    if ((oddSmall && c % 2 == 1) || (evenSmall && c % 2 == 0))
        return c - 1;
    return c;
}

// The length of the sequence that starts at lead, and its code point where the text holds
// all of it.
std::size_t decodeAt(std::string_view utf8, std::size_t i, char32_t &c) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (utf8.size() - i < length)
        return length;
    c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k)
        c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    return length;
}

} // namespace

std::string foldCase(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        const std::size_t length = decodeAt(utf8, i, c);
        if (utf8.size() - i < length) {
            out.append(utf8.substr(i));
            break;
        }
        appendUtf8(out, upperCase(c));
        i += length;
    }
    return out;
}

bool utf16FromUtf8(std::string_view utf8, std::u16string &units) {
    units.clear();
    if (!isUtf8(utf8))
        return false;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        i += decodeAt(utf8, i, c);
        if (c >= 0x10000) {
            units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            c = 0xDC00 + ((c - 0x10000) & 0x3FF);
        }
        units += static_cast<char16_t>(c);
    }
    return true;
}

#ifdef _WIN32
std::string utf8FromOem(std::string_view oem) {
    const int size = static_cast<int>(oem.size());
    const int units = MultiByteToWideChar(CP_OEMCP, 0, oem.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, oem.data(), size, wide.data(), units);
    std::string out;
    // No code page Windows has for OEM text maps a byte to half a surrogate pair.
    utf8FromUtf16(reinterpret_cast<const std::uint8_t *>(wide.data()), wide.size(), out);
    return out;
}
#else
std::string utf8FromOem(std::string_view oem) {
    std::string out;
    out.reserve(oem.size());
    for (const char c : oem) {
        const auto byte = static_cast<unsigned char>(c);
        appendUtf8(out, byte < 0x80 ? char32_t(byte) : char32_t(kOemHighHalf[byte - 0x80]));
    }
    return out;
}
#endif

bool utf8FromUtf16(const std::uint8_t *littleEndian, std::size_t units, std::string &utf8) {
    utf8.clear();
    const auto unit = [littleEndian](std::size_t i) {
        return char32_t(le16(littleEndian + 2 * i));
    };
    for (std::size_t i = 0; i < units; ++i) {
        char32_t c = unit(i);
        if (c >= 0xDC00 && c <= 0xDFFF)
            return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == units || unit(i + 1) < 0xDC00 || unit(i + 1) > 0xDFFF)
                return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(++i) - 0xDC00);
        }
        appendUtf8(utf8, c);
    }
    return true;
}

bool isUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        char32_t c = lead;
        if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            c = lead & 0x07;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            c = lead & 0x0F;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            c = lead & 0x1F;
        } else if (lead >= 0x80) {
            return false;
        }
        if (text.size() - i < length)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (next & 0x3F);
        }
        const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

} // namespace archive
