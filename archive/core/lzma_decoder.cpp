#include "lzma_decoder.h"

#include <cstdlib>
#include <cstring>
#include <new>

extern "C" {
#include "LzmaDec.h"
// Exported by LzmaDec.c for LZMA2's partial resets, but not declared by its header.
void LzmaDec_InitDicAndState(CLzmaDec *p, Bool initDic, Bool initState);
}

namespace archive {
namespace {

constexpr std::uint32_t kMinDictionary = 1 << 12;

void *allocate(void *, size_t size) {
    return std::malloc(size);
}
void release(void *, void *address) {
    std::free(address);
}
ISzAlloc allocator = {allocate, release};

} // namespace

// The window must hold the whole dictionary once output can wrap around it.
std::uint64_t lzmaWindow(std::uint64_t dictionary, std::uint64_t outSize) {
    return std::max<std::uint64_t>(
        1, std::min(std::max<std::uint64_t>(dictionary, kMinDictionary), outSize));
}

struct LzmaDecoder::State {
    CLzmaDec lzma;
    std::uint8_t *window = nullptr;
};

LzmaDecoder::LzmaDecoder() : state_(new State) {
    LzmaDec_Construct(&state_->lzma);
}

LzmaDecoder::~LzmaDecoder() {
    LzmaDec_FreeProbs(&state_->lzma, &allocator);
    std::free(state_->window);
}

Status LzmaDecoder::allocate(const std::uint8_t props[5], std::uint64_t outSize) {
    CLzmaDec &lzma = state_->lzma;
    const SRes result = LzmaDec_AllocateProbs(&lzma, props, LZMA_PROPS_SIZE, &allocator);
    if (result == SZ_ERROR_MEM)
        return {ErrorCode::Internal, "out of memory"};
    if (result != SZ_OK)
        return {ErrorCode::Unsupported, "LZMA properties are not supported"};
    const std::uint64_t size = lzmaWindow(lzma.prop.dicSize, outSize);
    if (size > kMaxCoderMemory)
        return {ErrorCode::Unsupported,
                "LZMA dictionary of " + std::to_string(size >> 20) + " MiB is too large"};
    state_->window = static_cast<std::uint8_t *>(std::malloc(static_cast<std::size_t>(size)));
    if (state_->window == nullptr)
        return {ErrorCode::Internal, "out of memory"};
    lzma.dic = state_->window;
    lzma.dicBufSize = static_cast<SizeT>(size);
    LzmaDec_Init(&lzma);
    return {};
}

bool LzmaDecoder::setLiteralProps(std::uint8_t props) {
    const unsigned lc = props % 9;
    const unsigned lp = (props / 9) % 5;
    const unsigned pb = props / 45;
    // allocate() sized the probabilities for lc + lp = 4, LZMA2's limit.
    if (pb > 4 || lc + lp > 4)
        return false;
    state_->lzma.prop.lc = lc;
    state_->lzma.prop.lp = lp;
    state_->lzma.prop.pb = pb;
    return true;
}

void LzmaDecoder::reset(bool dictionary, bool state) {
    LzmaDec_InitDicAndState(&state_->lzma, dictionary ? True : False, state ? True : False);
}

void LzmaDecoder::wrap() {
    if (state_->lzma.dicPos == state_->lzma.dicBufSize)
        state_->lzma.dicPos = 0;
}

Status LzmaDecoder::decode(const std::uint8_t *in, std::size_t &inLen, std::size_t outMax,
                           const std::uint8_t *&out, std::size_t &outLen, bool &endMark) {
    CLzmaDec &lzma = state_->lzma;
    wrap();
    const SizeT start = lzma.dicPos;
    const SizeT limit = start + std::min<SizeT>(outMax, lzma.dicBufSize - start);
    SizeT srcLen = inLen;
    ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
    const SRes result = LzmaDec_DecodeToDic(&lzma, limit, in, &srcLen, LZMA_FINISH_ANY, &status);
    inLen = srcLen;
    out = lzma.dic + start;
    outLen = lzma.dicPos - start;
    endMark = status == LZMA_STATUS_FINISHED_WITH_MARK;
    return result == SZ_OK ? Status{} : corruptData("LZMA data is corrupt");
}

void LzmaDecoder::store(const std::uint8_t *in, std::size_t &n, const std::uint8_t *&out) {
    CLzmaDec &lzma = state_->lzma;
    wrap();
    n = std::min<std::size_t>(n, lzma.dicBufSize - lzma.dicPos);
    out = lzma.dic + lzma.dicPos;
    std::memcpy(lzma.dic + lzma.dicPos, in, n);
    lzma.dicPos += n;
    if (lzma.checkDicSize == 0 && lzma.prop.dicSize - lzma.processedPos <= n)
        lzma.checkDicSize = lzma.prop.dicSize;
    lzma.processedPos += static_cast<UInt32>(n);
}

namespace {

class LzmaStream : public DecodedStream {
public:
    LzmaStream(std::unique_ptr<InStream> input, std::uint64_t outSize)
        : input_(std::move(input)), remaining_(outSize) {}

    Status allocate(const std::vector<std::uint8_t> &props) {
        if (props.size() != LZMA_PROPS_SIZE)
            return {ErrorCode::Unsupported, "LZMA properties are not supported"};
        return decoder_.allocate(props.data(), remaining_);
    }

protected:
    Status decode(std::uint8_t *out, std::size_t n, std::size_t &got) override {
        while (got < n && remaining_ > 0) {
            Status status = input_.fill();
            if (!status)
                return status;
            std::size_t inLen = input_.available();
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(n - got, remaining_));
            const std::uint8_t *produced = nullptr;
            std::size_t producedLen = 0;
            bool endMark = false;
            status = decoder_.decode(input_.data(), inLen, want, produced, producedLen, endMark);
            std::memcpy(out + got, produced, producedLen);
            got += producedLen;
            remaining_ -= producedLen;
            if (!status)
                return status;
            input_.consume(inLen);
            if (remaining_ > 0 && (endMark || (inLen == 0 && producedLen == 0)))
                return corruptData("LZMA data ends early");
        }
        return {};
    }

private:
    BufferedInput input_;
    LzmaDecoder decoder_;
    std::uint64_t remaining_;
};

} // namespace

Status makeLzmaStream(std::unique_ptr<InStream> input, const std::vector<std::uint8_t> &props,
                      std::uint64_t outSize, std::unique_ptr<InStream> &stream) {
    auto lzma = std::make_unique<LzmaStream>(std::move(input), outSize);
    Status status = lzma->allocate(props);
    if (status)
        stream = std::move(lzma);
    return status;
}

} // namespace archive
