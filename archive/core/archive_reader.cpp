#include "archive_reader.h"

#include "seven_zip_reader.h"
#include "zip_reader.h"

#include <cstring>

namespace archive {

bool MemorySource::readAt(std::uint64_t offset, void *out, std::size_t n) {
    if (offset > size_ || n > size_ - offset)
        return false;
    if (n != 0)
        std::memcpy(out, data_ + offset, n);
    return true;
}

// A ZIP may carry anything in front of its first entry (self-extractors), so ZIP is what
// everything that holds no 7z archive is taken for.
std::unique_ptr<ArchiveReader> readerFor(ByteSource &source) {
    std::uint64_t start = 0;
    if (findSevenZip(source, start) || isSevenZipVolume(source.name()))
        return std::make_unique<SevenZipReader>();
    return std::make_unique<ZipReader>();
}

} // namespace archive
