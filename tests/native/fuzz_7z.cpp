// libFuzzer target of the 7z reader: every input is read as 7z, must not crash, and may
// only touch paths inside the destination. The signature is put in front when missing
// and the header CRCs are made right, so mutations reach the header's fields.
#include "memory_fs.h"
#include "seven_zip_reader.h"

#include <zlib.h>

#include <cstring>

namespace {

void putCrc(std::string &bytes, std::size_t at, std::size_t from, std::size_t size) {
    const uLong crc =
        crc32(0L, reinterpret_cast<const Bytef *>(bytes.data() + from), static_cast<uInt>(size));
    for (std::size_t i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(crc >> (8 * i));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string input(reinterpret_cast<const char *>(data), size);
    if (size < archive::kSevenZipSignatureSize || !archive::hasSevenZipSignature(data))
        input.insert(0, "7z\xBC\xAF\x27\x1C", archive::kSevenZipSignatureSize);
    if (input.size() >= 32) {
        std::uint64_t offset = 0, length = 0; // little-endian, as the fuzzing hosts are
        std::memcpy(&offset, &input[12], 8);
        std::memcpy(&length, &input[20], 8);
        if (offset <= input.size() - 32 && length <= input.size() - 32 - offset)
            putCrc(input, 28, static_cast<std::size_t>(32 + offset),
                   static_cast<std::size_t>(length));
        putCrc(input, 8, 12, 20);
    }
    archive_test::extractInMemory(input);
    return 0;
}
