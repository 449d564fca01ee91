#pragma once

#include "coder_stream.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace archive {

// The model memory the 7z PPMd properties (order, then the memory size) declare; 0 when
// they are malformed.
std::uint64_t ppmdMemory(const std::vector<std::uint8_t> &props);

// Refuses properties out of range and models past the library's limit.
Status checkPpmdProps(const std::vector<std::uint8_t> &props);

// 7z's PPMd: variant H with 7z's range coder, outSize symbols. The model takes the memory
// the properties declare, refused past the library's limit before anything is allocated.
Status makePpmdStream(std::unique_ptr<InStream> input, const std::vector<std::uint8_t> &props,
                      std::uint64_t outSize, std::unique_ptr<InStream> &stream);

// ZIP's PPMd: variant I revision 1 after its two-byte header, outSize symbols. The order,
// the memory (256 MiB at most, within the library's limit) and how the model goes on once
// its memory is full come from that header.
Status makePpmdZipStream(std::unique_ptr<InStream> input, std::uint64_t outSize,
                         std::unique_ptr<InStream> &stream);

} // namespace archive
