#include "lzma2_decoder.h"

#include "lzma_decoder.h"

#include <cstring>

namespace archive {
namespace {

constexpr std::uint8_t kEndOfStream = 0x00;
constexpr std::uint8_t kStoredResetDictionary = 0x01;
constexpr std::uint8_t kStored = 0x02;
constexpr std::uint8_t kLzmaChunk = 0x80;
constexpr std::uint8_t kLargestDictionaryCode = 40;

class Lzma2Stream : public DecodedStream {
public:
    Lzma2Stream(std::unique_ptr<InStream> input, std::uint64_t outSize)
        : input_(std::move(input)), remaining_(outSize) {}

    Status allocate(std::uint8_t dictionaryCode) {
        if (dictionaryCode > kLargestDictionaryCode)
            return {ErrorCode::Unsupported, "LZMA2 dictionary size is not supported"};
        const std::uint32_t dictionary = lzma2Dictionary(dictionaryCode);
        // lc = 4: probabilities for the largest literal context LZMA2 allows.
        const std::uint8_t props[5] = {4, std::uint8_t(dictionary), std::uint8_t(dictionary >> 8),
                                       std::uint8_t(dictionary >> 16),
                                       std::uint8_t(dictionary >> 24)};
        return decoder_.allocate(props, remaining_);
    }

protected:
    Status decode(std::uint8_t *out, std::size_t n, std::size_t &got) override {
        while (got < n && remaining_ > 0) {
            if (chunkUnpacked_ == 0) {
                if (chunkPacked_ != 0)
                    return corruptData("LZMA2 chunk is longer than its data");
                if (ended_)
                    return corruptData("LZMA2 data ends early");
                Status status = startChunk();
                if (!status)
                    return status;
                continue;
            }
            Status status = input_.fill();
            if (!status)
                return status;
            if (input_.available() == 0)
                return corruptData("LZMA2 data ends early");
            const std::size_t want = static_cast<std::size_t>(
                std::min<std::uint64_t>({n - got, remaining_, chunkUnpacked_}));
            const std::uint8_t *produced = nullptr;
            std::size_t producedLen = 0;
            std::size_t inLen = 0;
            if (stored_) {
                producedLen = std::min(want, input_.available());
                decoder_.store(input_.data(), producedLen, produced);
                inLen = producedLen;
            } else {
                inLen = static_cast<std::size_t>(
                    std::min<std::uint64_t>(input_.available(), chunkPacked_));
                bool endMark = false;
                status =
                    decoder_.decode(input_.data(), inLen, want, produced, producedLen, endMark);
                chunkPacked_ -= inLen;
                if (status && (endMark || (inLen == 0 && producedLen == 0)))
                    status = corruptData("LZMA2 chunk is corrupt");
            }
            // What was decoded goes out before an error does.
            std::memcpy(out + got, produced, producedLen);
            got += producedLen;
            remaining_ -= producedLen;
            chunkUnpacked_ -= producedLen;
            if (!status)
                return status;
            input_.consume(inLen);
        }
        return {};
    }

private:
    Status startChunk() {
        Status status;
        std::uint8_t control = 0;
        if (!input_.next(control, status))
            return status ? corruptData("LZMA2 data ends early") : status;
        if (control == kEndOfStream) {
            ended_ = true;
            return {};
        }
        std::uint8_t size[2];
        if (control == kStoredResetDictionary || control == kStored) {
            if (!readBytes(size, 2, status))
                return status;
            if (control == kStoredResetDictionary) {
                needProps_ = needState_ = true;
                needDictionary_ = false;
            } else if (needDictionary_) {
                return corruptData("LZMA2 data starts without a dictionary reset");
            }
            decoder_.reset(control == kStoredResetDictionary, false);
            stored_ = true;
            chunkUnpacked_ = ((size[0] << 8) | size[1]) + 1u;
            chunkPacked_ = 0;
            return {};
        }
        if (control < kLzmaChunk)
            return corruptData("LZMA2 chunk header is invalid");
        std::uint8_t sizes[4];
        if (!readBytes(sizes, 4, status))
            return status;
        const unsigned mode = (control >> 5) & 3;
        if (mode >= 2) {
            std::uint8_t props = 0;
            if (!readBytes(&props, 1, status))
                return status;
            if (!decoder_.setLiteralProps(props))
                return corruptData("LZMA2 chunk properties are invalid");
            needProps_ = false;
        }
        const bool resetDictionary = mode == 3;
        const bool resetState = mode > 0;
        if (needProps_ || (needDictionary_ && !resetDictionary) || (needState_ && !resetState))
            return corruptData("LZMA2 chunk lacks a reset it needs");
        needDictionary_ = needState_ = false;
        decoder_.reset(resetDictionary, resetState);
        stored_ = false;
        chunkUnpacked_ = (std::uint32_t(control & 0x1F) << 16) + ((sizes[0] << 8) | sizes[1]) + 1u;
        chunkPacked_ = ((sizes[2] << 8) | sizes[3]) + 1u;
        return {};
    }

    bool readBytes(std::uint8_t *out, std::size_t n, Status &status) {
        for (std::size_t i = 0; i < n; ++i)
            if (!input_.next(out[i], status)) {
                if (status)
                    status = corruptData("LZMA2 data ends early");
                return false;
            }
        return true;
    }

    BufferedInput input_;
    LzmaDecoder decoder_;
    std::uint64_t remaining_;
    std::uint32_t chunkUnpacked_ = 0;
    std::uint32_t chunkPacked_ = 0;
    bool stored_ = false;
    bool ended_ = false;
    bool needDictionary_ = true;
    bool needState_ = true;
    bool needProps_ = true;
};

} // namespace

std::uint32_t lzma2Dictionary(std::uint8_t code) {
    if (code > kLargestDictionaryCode)
        return 0;
    return code == kLargestDictionaryCode ? 0xFFFFFFFF : (2u | (code & 1u)) << (code / 2 + 11);
}

Status makeLzma2Stream(std::unique_ptr<InStream> input, const std::vector<std::uint8_t> &props,
                       std::uint64_t outSize, std::unique_ptr<InStream> &stream) {
    if (props.size() != 1)
        return {ErrorCode::Unsupported, "LZMA2 properties are not supported"};
    auto lzma2 = std::make_unique<Lzma2Stream>(std::move(input), outSize);
    Status status = lzma2->allocate(props[0]);
    if (status)
        stream = std::move(lzma2);
    return status;
}

} // namespace archive
