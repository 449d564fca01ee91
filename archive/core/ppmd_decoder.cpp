#include "ppmd_decoder.h"

#include "little_endian.h"
#include "ppmd_decode.h"

#include <array>
#include <cstring>

namespace archive {
namespace {

constexpr unsigned kMinOrder = 2;
constexpr unsigned kMaxOrder = 64;
constexpr std::uint32_t kMinMemory = 1 << 11;
constexpr std::size_t kPropsSize = 5;

using namespace ppmd;

static_assert(kMaxOrder <= kHighestOrder, "the suffix walk bounds every order");

const std::uint8_t *ns2Index() {
    static const auto table = [] {
        std::array<std::uint8_t, 256> t{};
        fillNs2Index(t.data(), 256, 3);
        return t;
    }();
    return table.data();
}

// 7z's range decoder for PPMd.
class RangeDecoder {
public:
    explicit RangeDecoder(std::unique_ptr<InStream> input) : input_(std::move(input)) {}

    Status start() {
        std::uint8_t first = 0;
        Status status = input_.byte(first);
        for (int i = 0; i < 4 && status; ++i) {
            std::uint8_t b = 0;
            status = input_.byte(b);
            code_ = code_ << 8 | b;
        }
        if (status && (first != 0 || code_ == 0xFFFFFFFF))
            return corrupt();
        return status;
    }
    std::uint32_t threshold(std::uint32_t total) { return code_ / (range_ /= total); }
    Status decode(std::uint32_t start, std::uint32_t size) {
        code_ -= start * range_;
        range_ *= size;
        return normalize();
    }
    Status bit(std::uint32_t size0, unsigned &bit) {
        const std::uint32_t bound = (range_ >> (kIntBits + kPeriodBits)) * size0;
        bit = code_ >= bound;
        if (bit) {
            code_ -= bound;
            range_ -= bound;
        } else {
            range_ = bound;
        }
        return normalize();
    }

private:
    // Two bytes at most, as the encoder shifts.
    Status normalize() {
        Status status;
        for (int i = 0; i < 2 && range_ < kTop && status; ++i) {
            std::uint8_t b = 0;
            status = input_.byte(b);
            code_ = code_ << 8 | b;
            range_ <<= 8;
        }
        return status;
    }

    ZeroPaddedInput input_;
    std::uint32_t range_ = 0xFFFFFFFF;
    std::uint32_t code_ = 0;
};

// Variant H's model. A context is its number of states (16 bits), their frequency sum,
// the offset of its states and that of its suffix, or its only state in place of the sum
// and the offset.
class Model : public Decoder<Model> {
public:
    void restart(unsigned maxOrder) {
        maxOrder_ = maxOrder;
        restart();
    }

private:
    friend class Decoder<Model>;

    static constexpr unsigned kStatsBias = 0;
    static constexpr unsigned kMaxBinaryFreq = 128;

    unsigned numStats(std::uint32_t c) { return u16(c); }
    void setNumStats(std::uint32_t c, unsigned n) { setU16(c, n); }

    // While it glues, a node is its stamp (0 when free; a used block starts with a non-zero
    // count or state), its units, and the next and previous nodes.
    void glueFreeBlocks() override {
        const std::uint32_t head = kOrigin + size_;
        std::uint32_t n = head;
        glueCount_ = 255;
        for (unsigned i = 0; i < kIndexes; ++i) {
            const unsigned units = indexToUnits(i);
            std::uint32_t next = freeList_[i];
            while (next != 0) {
                const std::uint32_t node = next;
                setU32(node + 4, n);
                setU32(n + 8, next);
                n = next;
                next = u32(node);
                setU16(node, 0);
                setU16(node + 2, units);
            }
        }
        clearLists();
        setU16(head, 1);
        setU32(head + 4, n);
        setU32(n + 8, head);
        if (loUnit_ != hiUnit_)
            setU16(loUnit_, 1);
        while (n != head) {
            const std::uint32_t node = n;
            std::uint32_t units = u16(node + 2);
            for (;;) {
                const std::uint32_t node2 = node + units * kUnit;
                units += u16(node2 + 2);
                if (u16(node2) != 0 || units >= 0x10000)
                    break;
                setU32(u32(node2 + 8) + 4, u32(node2 + 4));
                setU32(u32(node2 + 4) + 8, u32(node2 + 8));
                setU16(node + 2, units);
            }
            n = u32(node + 4);
        }
        for (n = u32(head + 4); n != head;) {
            const std::uint32_t next = u32(n + 4);
            insertUnits(n, u16(n + 2));
            n = next;
        }
    }

    void restart() {
        startModel();
        for (unsigned i = 0; i < 128; ++i)
            for (unsigned k = 0; k < 8; ++k)
                for (unsigned m = 0; m < 64; m += 8)
                    binSumm_[i][k + m] = std::uint16_t(kBinScale - kInitBinEsc[k] / (i + 2));
        for (unsigned i = 0; i < 25; ++i)
            for (See &s : see_[i]) {
                s.shift = kPeriodBits - 4;
                s.summ = std::uint16_t((5 * i + 10) << s.shift);
                s.count = 4;
            }
    }

    // Whether the symbol before is one of 0x40 and up.
    unsigned hiBitsFlag() { return tables().hb2Flag[sym(foundState_)]; }

    std::uint16_t &binSumm() {
        const std::uint32_t s = oneState(minContext_);
        return binSumm_[freq(s) - 1]
                       [prevSuccess_ + tables().ns2bsIndex[numStats(suffix(minContext_)) - 1] +
                        hiBitsFlag() + 2 * tables().hb2Flag[sym(s)] + ((runLength_ >> 26) & 0x20)];
    }

    See &makeEscFreq(unsigned numMasked, std::uint32_t &escFreq) {
        const unsigned n = numStats(minContext_);
        if (n == 256) {
            escFreq = 1;
            return dummySee_;
        }
        const unsigned nonMasked = n - numMasked;
        See &see =
            see_[ns2Index()[nonMasked - 1]]
                [(nonMasked < unsigned(numStats(suffix(minContext_))) - n) +
                 2 * (summFreq(minContext_) < 11 * n) + 4 * (numMasked > nonMasked) + hiBitsFlag()];
        escFreq = see.mean();
        return see;
    }

    bool isContext(std::uint32_t successor) { return successor > text_; }
    static bool firstSucceeds(unsigned freq, unsigned summFreq) { return 2 * freq > summFreq; }
    static unsigned oneStateFreq(unsigned freq, unsigned escFreq) {
        do {
            freq -= freq >> 1;
            escFreq >>= 1;
        } while (escFreq > 1);
        return freq;
    }
    static unsigned upFreq(std::uint32_t cf, std::uint32_t s0) {
        return (2 * cf + 3 * s0 - 1) / (2 * s0);
    }
    static unsigned escapeGain(unsigned states, unsigned ns, unsigned summFreq) {
        return (2 * states < ns) + 2 * ((4 * states <= ns) & (summFreq <= 8 * states));
    }
    unsigned newStateFreq(std::uint32_t c, std::uint32_t cf, std::uint32_t sf) {
        if (cf < 6 * sf) {
            setSummFreq(c, summFreq(c) + 3);
            return 1 + (cf > sf) + (cf >= 4 * sf);
        }
        cf = 4 + (cf >= 9 * sf) + (cf >= 12 * sf) + (cf >= 15 * sf);
        setSummFreq(c, summFreq(c) + cf);
        return cf;
    }

    std::uint32_t createSuccessors(bool skip) {
        const std::uint8_t symbol = sym(foundState_);
        return Decoder::createSuccessors(
            skip, minContext_, [this, symbol](std::uint32_t c) { return stateOf(c, symbol); });
    }

    void updateModel() {
        std::uint32_t fSuccessor = successor(foundState_);
        const std::uint8_t symbol = sym(foundState_);
        const unsigned fFreq = freq(foundState_);
        raiseInSuffix(symbol, fFreq);
        if (orderFall_ == 0) {
            minContext_ = maxContext_ = createSuccessors(true);
            if (minContext_ == 0)
                return restart();
            setSuccessor(foundState_, minContext_);
            return;
        }
        *at(text_++) = symbol;
        std::uint32_t successorRef = text_;
        if (text_ >= unitsStart_)
            return restart();
        if (fSuccessor != 0) {
            if (fSuccessor <= successorRef) {
                const std::uint32_t cs = createSuccessors(false);
                if (cs == 0)
                    return restart();
                fSuccessor = cs;
            }
            if (--orderFall_ == 0) {
                successorRef = fSuccessor;
                text_ -= maxContext_ != minContext_;
            }
        } else {
            setSuccessor(foundState_, successorRef);
            fSuccessor = minContext_;
        }
        if (addSymbol(symbol, fFreq, successorRef) != 0)
            return restart();
        maxContext_ = minContext_ = fSuccessor;
    }

    std::uint16_t binSumm_[128][64] = {};
    See see_[25][16];
};

} // namespace

std::uint64_t ppmdMemory(const std::vector<std::uint8_t> &props) {
    if (props.size() != kPropsSize)
        return 0;
    return le32(&props[1]);
}

Status checkPpmdProps(const std::vector<std::uint8_t> &props) {
    const std::uint64_t memory = ppmdMemory(props);
    if (memory < kMinMemory || props[0] < kMinOrder || props[0] > kMaxOrder)
        return {ErrorCode::Unsupported, "PPMd properties are not supported"};
    if (memory > kMaxCoderMemory)
        return {ErrorCode::Unsupported,
                "PPMd memory of " + std::to_string(memory >> 20) + " MiB is too large"};
    return {};
}

Status makePpmdStream(std::unique_ptr<InStream> input, const std::vector<std::uint8_t> &props,
                      std::uint64_t outSize, std::unique_ptr<InStream> &stream) {
    Status status = checkPpmdProps(props);
    if (!status)
        return status;
    auto ppmd = std::make_unique<Stream<Model, RangeDecoder>>(std::move(input), outSize);
    status = ppmd->start(static_cast<std::uint32_t>(ppmdMemory(props)));
    if (status) {
        ppmd->model.restart(props[0]);
        stream = std::move(ppmd);
    }
    return status;
}

} // namespace archive
