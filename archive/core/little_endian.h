#pragma once

// The formats read here store their numbers least significant byte first.

#include <cstdint>

namespace archive {

inline std::uint16_t le16(const std::uint8_t *p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t le32(const std::uint8_t *p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t le64(const std::uint8_t *p) {
    return le32(p) | (static_cast<std::uint64_t>(le32(p + 4)) << 32);
}

} // namespace archive
