#include "ppmd_decoder.h"

#include "ppmd_decode.h"

#include <array>

namespace archive {
namespace {

using namespace ppmd;

// The header's 16 bits: the order less one (4 bits), the memory in MiB less one (8 bits),
// what the model does once its memory is full (4 bits).
constexpr std::size_t kHeaderSize = 2;
constexpr unsigned kMinOrder = 2;
constexpr unsigned kMaxOrder = 16;
constexpr unsigned kRestart = 0;
constexpr unsigned kCutOff = 1;
static_assert(std::uint64_t(256) << 20 <= kMaxCoderMemory,
              "the largest memory the header can declare is within the library's limit");
static_assert(kMaxOrder <= kHighestOrder, "the suffix walk bounds every order");

constexpr std::uint32_t kBot = 1 << 15;
// A cut-off model keeps contexts up to this order even where nothing follows them.
constexpr unsigned kKeptOrder = 9;
// A context's flags besides the 8 of a symbol of 0x40 and up among its states: it follows
// such a symbol, and it was rescaled.
constexpr unsigned kFollowsHigh = 0x10;
constexpr unsigned kRescaled = 0x04;

const std::uint8_t *ns2Index() {
    static const auto table = [] {
        std::array<std::uint8_t, 260> t{};
        fillNs2Index(t.data(), 260, 5);
        return t;
    }();
    return table.data();
}

unsigned highFlag(std::uint8_t symbol) {
    return tables().hb2Flag[symbol];
}

// Variant I's range decoder, carry-less: the range shrinks to keep the low end's top byte
// settled.
class RangeDecoder {
public:
    explicit RangeDecoder(std::unique_ptr<InStream> input) : input_(std::move(input)) {}

    Status start() {
        Status status;
        for (int i = 0; i < 4 && status; ++i) {
            std::uint8_t b = 0;
            status = input_.byte(b);
            code_ = code_ << 8 | b;
        }
        if (status && code_ == 0xFFFFFFFF)
            return corrupt();
        return status;
    }
    // A range below the total comes of damaged data only: the count is then past every
    // symbol's.
    std::uint32_t threshold(std::uint32_t total) {
        range_ /= total;
        return range_ != 0 ? code_ / range_ : total;
    }
    Status bit(std::uint32_t size0, unsigned &bit) {
        bit = threshold(kBinScale) >= size0;
        return bit ? decode(size0, kBinScale - size0) : decode(0, size0);
    }
    Status decode(std::uint32_t start, std::uint32_t size) {
        start *= range_;
        low_ += start;
        code_ -= start;
        range_ *= size;
        for (;;) {
            if ((low_ ^ (low_ + range_)) >= kTop) {
                if (range_ >= kBot)
                    return {};
                range_ = (0 - low_) & (kBot - 1);
            }
            std::uint8_t b = 0;
            Status status = input_.byte(b);
            if (!status)
                return status;
            code_ = code_ << 8 | b;
            range_ <<= 8;
            low_ <<= 8;
        }
    }

private:
    ZeroPaddedInput input_;
    std::uint32_t range_ = 0xFFFFFFFF;
    std::uint32_t code_ = 0;
    std::uint32_t low_ = 0;
};

// Variant I's model. A context is its number of states less one and its flags (a byte
// each), their frequency sum, the offset of its states and that of its suffix, or its
// only state in place of the sum and the offset. Once its memory is full it starts again
// or, cut off, keeps what recent text used.
class Model : public Decoder<Model> {
public:
    void restart(unsigned maxOrder, unsigned restoreMethod) {
        maxOrder_ = maxOrder;
        restoreMethod_ = restoreMethod;
        restart();
    }

private:
    friend class Decoder<Model>;

    static constexpr unsigned kStatsBias = 1;
    static constexpr unsigned kMaxBinaryFreq = 196;

    unsigned numStats(std::uint32_t c) { return *at(c); }
    void setNumStats(std::uint32_t c, unsigned n) { *at(c) = std::uint8_t(n); }
    unsigned flags(std::uint32_t c) { return *at(c + 1); }
    void setFlags(std::uint32_t c, unsigned f) { *at(c + 1) = std::uint8_t(f); }

    // A context of one state from the first of its states, whose block goes.
    void becomeBinary(std::uint32_t c, std::uint32_t first) {
        setFlags(c, (flags(c) & kFollowsHigh) + highFlag(sym(first)));
        copyState(oneState(c), first);
        setFreq(oneState(c), (freq(oneState(c)) + 11) >> 3);
    }

    // The units at the text's end go to the text.
    void freeUnit(std::uint32_t block) {
        if (block != unitsStart_)
            insertNode(block, 0);
        else
            unitsStart_ += kUnit;
    }

    std::uint32_t usedMemory() {
        std::uint32_t units = 0;
        for (unsigned i = 0; i < kIndexes; ++i)
            units += freeCount_[i] * indexToUnits(i);
        return size_ - (hiUnit_ - loUnit_) - (unitsStart_ - text_) - units * kUnit;
    }

    // A used block stops every walk over free ones.
    void guardLoUnit() {
        if (loUnit_ != hiUnit_)
            setStamp(loUnit_, 0);
    }

    // In the order of the lists; each block takes those that follow it in memory.
    void glueFreeBlocks() override {
        glueCount_ = 1 << 13;
        guardLoUnit();
        std::uint32_t head = 0;
        std::uint32_t tail = 0;
        for (unsigned i = 0; i < kIndexes; ++i) {
            for (std::uint32_t node = freeList_[i]; node != 0; node = u32(node)) {
                if (nodeUnits(node) == 0)
                    continue;
                if (tail == 0)
                    head = node;
                else
                    setU32(tail, node);
                tail = node;
                for (std::uint32_t next; stamp(next = node + nodeUnits(node) * kUnit) == kEmpty;) {
                    setNodeUnits(node, nodeUnits(node) + nodeUnits(next));
                    setNodeUnits(next, 0);
                }
            }
        }
        if (tail != 0)
            setU32(tail, 0);
        clearLists();
        while (head != 0) {
            const std::uint32_t node = head;
            head = u32(node);
            if (nodeUnits(node) != 0)
                insertUnits(node, nodeUnits(node));
        }
    }

    // The free blocks at the text's end become text.
    void expandTextArea() {
        std::uint32_t taken[kIndexes] = {};
        guardLoUnit();
        std::uint32_t node = unitsStart_;
        for (; stamp(node) == kEmpty; node += nodeUnits(node) * kUnit) {
            setStamp(node, 0);
            ++taken[unitsToIndex(nodeUnits(node))];
        }
        unitsStart_ = node;
        for (unsigned i = 0; i < kIndexes; ++i) {
            for (std::uint32_t prev = 0; taken[i] != 0;) {
                const std::uint32_t item = prev == 0 ? freeList_[i] : u32(prev);
                if (stamp(item) != 0) {
                    prev = item;
                    continue;
                }
                if (prev == 0)
                    freeList_[i] = u32(item);
                else
                    setU32(prev, u32(item));
                --taken[i];
                --freeCount_[i];
            }
        }
    }

    // States near the text's end move to a free block further up.
    std::uint32_t moveUnitsUp(std::uint32_t block, unsigned units) {
        const unsigned index = unitsToIndex(units);
        if (block > unitsStart_ + 16 * 1024 || block > freeList_[index])
            return block;
        const std::uint32_t moved = removeNode(index);
        std::memmove(at(moved), at(block), units * kUnit);
        if (block != unitsStart_)
            insertNode(block, index);
        else
            unitsStart_ += indexToUnits(index) * kUnit;
        return moved;
    }

    void restart() {
        startModel();
        setFlags(minContext_, 0);
        for (unsigned i = 0, m = 0; m < 25; ++m) {
            while (ns2Index()[i] == m)
                ++i;
            for (unsigned k = 0; k < 8; ++k)
                for (unsigned r = 0; r < 64; r += 8)
                    binSumm_[m][k + r] = std::uint16_t(kBinScale - kInitBinEsc[k] / (i + 1));
        }
        for (unsigned i = 0, m = 0; m < 24; ++m) {
            while (ns2Index()[i + 3] == m + 3)
                ++i;
            for (See &s : see_[m]) {
                s.shift = kPeriodBits - 4;
                s.summ = std::uint16_t((2 * i + 5) << s.shift);
                s.count = 7;
            }
        }
    }

    std::uint16_t &binSumm() {
        const std::uint32_t s = oneState(minContext_);
        return binSumm_[ns2Index()[freq(s) - 1]]
                       [prevSuccess_ + tables().ns2bsIndex[numStats(suffix(minContext_))] +
                        flags(minContext_) + ((runLength_ >> 26) & 0x20)];
    }

    See &makeEscFreq(unsigned numMasked, std::uint32_t &escFreq) {
        const unsigned n = numStats(minContext_);
        if (n == 255) {
            escFreq = 1;
            return dummySee_;
        }
        See &see =
            see_[ns2Index()[n + 2] - 3]
                [(summFreq(minContext_) > 11 * (n + 1)) +
                 2 * (2 * n < numStats(suffix(minContext_)) + numMasked) + flags(minContext_)];
        escFreq = see.mean();
        return see;
    }

    bool isContext(std::uint32_t successor) { return successor >= unitsStart_; }
    static bool firstSucceeds(unsigned freq, unsigned summFreq) { return 2 * freq >= summFreq; }
    static unsigned oneStateFreq(unsigned freq, unsigned escFreq) {
        return std::min(kMaxFreq / 3, (2 * freq + escFreq - 1) / escFreq);
    }
    static unsigned upFreq(std::uint32_t cf, std::uint32_t s0) { return (cf + 2 * s0 - 3) / s0; }
    static unsigned escapeGain(unsigned states, unsigned ns, unsigned) { return 3 * states <= ns; }
    unsigned newStateFreq(std::uint32_t c, std::uint32_t cf, std::uint32_t sf) {
        if (cf < 6 * sf) {
            setSummFreq(c, summFreq(c) + 4);
            return 1 + (cf > sf) + (cf >= 4 * sf);
        }
        cf = 4 + (cf > 9 * sf) + (cf > 12 * sf) + (cf > 15 * sf);
        setSummFreq(c, summFreq(c) + cf);
        return cf;
    }

    unsigned newContextFlags(std::uint8_t upSymbol) {
        return 2 * highFlag(sym(foundState_)) + highFlag(upSymbol);
    }
    void flagAddedState(std::uint32_t c, std::uint8_t symbol) {
        setFlags(c, flags(c) | highFlag(symbol));
    }
    void flagOneState(std::uint8_t symbol) {
        setFlags(minContext_, (flags(minContext_) & kFollowsHigh) + highFlag(symbol));
    }
    // Once states were dropped, the flags of those that stay.
    void flagRescaled(bool dropped) {
        unsigned f = flags(minContext_) | kRescaled;
        if (dropped) {
            f &= kFollowsHigh | kRescaled;
            for (unsigned k = 0, s = stats(minContext_); k <= numStats(minContext_); ++k, s += 6)
                f |= highFlag(sym(s));
        }
        setFlags(minContext_, f);
    }

    // Frequencies halved where scale is 1, and the states' block shrunk to their number.
    void refresh(std::uint32_t c, unsigned oldUnits, unsigned scale) {
        unsigned i = numStats(c);
        std::uint32_t s = shrinkUnits(stats(c), oldUnits, (i + 2) >> 1);
        setStats(c, s);
        unsigned f = (flags(c) & (kFollowsHigh + kRescaled * scale)) + highFlag(sym(s));
        unsigned escFreq = summFreq(c) - freq(s);
        setFreq(s, (freq(s) + scale) >> scale);
        unsigned sumFreq = freq(s);
        do {
            s += 6;
            escFreq -= freq(s);
            setFreq(s, (freq(s) + scale) >> scale);
            sumFreq += freq(s);
            f |= highFlag(sym(s));
        } while (--i);
        setSummFreq(c, sumFreq + ((escFreq + scale) >> scale));
        setFlags(c, f);
    }

    // Drops the states whose successor is text and, below the top order, cuts their
    // successors likewise; 0 when the context goes.
    std::uint32_t cutOff(std::uint32_t c, unsigned order) {
        if (numStats(c) == 0) {
            const std::uint32_t s = oneState(c);
            if (successor(s) >= unitsStart_) {
                setSuccessor(s, order < maxOrder_ ? cutOff(successor(s), order + 1) : 0);
                if (successor(s) != 0 || order <= kKeptOrder)
                    return c;
            }
            freeUnit(c);
            return 0;
        }
        const unsigned units = (numStats(c) + 2) >> 1;
        setStats(c, moveUnitsUp(stats(c), units));
        int last = int(numStats(c));
        for (int k = last; k >= 0; --k) {
            const std::uint32_t s = stats(c) + 6 * std::uint32_t(k);
            if (successor(s) < unitsStart_) {
                setSuccessor(s, 0);
                swapStates(s, stats(c) + 6 * std::uint32_t(last--));
            } else {
                setSuccessor(s, order < maxOrder_ ? cutOff(successor(s), order + 1) : 0);
            }
        }
        if (last == int(numStats(c)) || order == 0)
            return c;
        const std::uint32_t first = stats(c);
        if (last < 0) {
            insertNode(first, unitsToIndex(units));
            freeUnit(c);
            return 0;
        }
        setNumStats(c, unsigned(last));
        if (last == 0) {
            becomeBinary(c, first);
            insertNode(first, unitsToIndex(units));
        } else {
            refresh(c, units, summFreq(c) > 16 * unsigned(last));
        }
        return c;
    }

    // The symbol just added goes again from the contexts up to c1, those from there to
    // the current one fade; then the model starts again or is cut off.
    void restoreModel(std::uint32_t c1) {
        text_ = kOrigin;
        std::uint32_t c = maxContext_;
        for (; c != c1; c = suffix(c)) {
            setNumStats(c, numStats(c) - 1);
            if (numStats(c) == 0) {
                const std::uint32_t first = stats(c);
                becomeBinary(c, first);
                freeUnit(first);
            } else {
                refresh(c, (numStats(c) + 3) >> 1, 0);
            }
        }
        for (; c != minContext_; c = suffix(c)) {
            if (numStats(c) == 0) {
                setFreq(oneState(c), freq(oneState(c)) - (freq(oneState(c)) >> 1));
            } else {
                setSummFreq(c, summFreq(c) + 4);
                if (summFreq(c) > 128 + 4 * numStats(c))
                    refresh(c, (numStats(c) + 2) >> 1, 1);
            }
        }
        if (restoreMethod_ == kRestart || usedMemory() < (size_ >> 1))
            return restart();
        while (suffix(maxContext_) != 0)
            maxContext_ = suffix(maxContext_);
        do {
            cutOff(maxContext_, 0);
            expandTextArea();
        } while (usedMemory() > 3 * (size_ >> 2));
        glueCount_ = 0;
        orderFall_ = maxOrder_;
    }

    // On the walk each suffix's state of the symbol gains a little; s1, when not 0, is the
    // first suffix's, which has gained already.
    std::uint32_t createSuccessors(bool skip, std::uint32_t s1, std::uint32_t c) {
        const std::uint8_t symbol = sym(foundState_);
        return Decoder::createSuccessors(skip, c, [this, s1, symbol](std::uint32_t ctx) mutable {
            std::uint32_t s = s1;
            if (s1 != 0) {
                s1 = 0;
            } else if (numStats(ctx) != 0) {
                for (s = stats(ctx); sym(s) != symbol; s += 6) {
                }
                if (freq(s) < kMaxFreq - 9) {
                    setFreq(s, freq(s) + 1);
                    setSummFreq(ctx, summFreq(ctx) + 1);
                }
            } else {
                s = oneState(ctx);
                setFreq(s, freq(s) + (numStats(suffix(ctx)) == 0 && freq(s) < 24));
            }
            return s;
        });
    }

    // For a symbol new to the current context: the suffixes that lack a successor for it
    // point to the text, up to one that has one.
    std::uint32_t reduceOrder(std::uint32_t s1, std::uint32_t c) {
        const std::uint32_t start = c;
        const std::uint32_t upBranch = text_;
        const std::uint8_t symbol = sym(foundState_);
        setSuccessor(foundState_, upBranch);
        ++orderFall_;
        std::uint32_t s = s1;
        for (;;) {
            if (s1 != 0) {
                c = suffix(c);
                s1 = 0;
            } else {
                if (suffix(c) == 0)
                    return c;
                c = suffix(c);
                if (numStats(c) != 0) {
                    for (s = stats(c); sym(s) != symbol; s += 6) {
                    }
                    if (freq(s) < kMaxFreq - 9) {
                        setFreq(s, freq(s) + 2);
                        setSummFreq(c, summFreq(c) + 2);
                    }
                } else {
                    s = oneState(c);
                    setFreq(s, freq(s) + (freq(s) < 32));
                }
            }
            if (successor(s) != 0)
                break;
            setSuccessor(s, upBranch);
            ++orderFall_;
        }
        if (successor(s) <= upBranch) {
            const std::uint32_t found = foundState_;
            foundState_ = s;
            setSuccessor(s, createSuccessors(false, 0, c));
            foundState_ = found;
        }
        if (orderFall_ == 1 && start == maxContext_) {
            setSuccessor(foundState_, successor(s));
            --text_;
        }
        return successor(s);
    }

    // The model grows, and the next context is the one it leaves in maxContext_.
    void updateModel() {
        growModel();
        minContext_ = maxContext_;
    }

    void growModel() {
        std::uint32_t fSuccessor = successor(foundState_);
        const std::uint8_t symbol = sym(foundState_);
        const unsigned fFreq = freq(foundState_);
        // The symbol's state in the suffix, where it is looked for here.
        const std::uint32_t found = raiseInSuffix(symbol, fFreq);
        std::uint32_t c = maxContext_;
        if (orderFall_ == 0 && fSuccessor != 0) {
            const std::uint32_t cs = createSuccessors(true, found, minContext_);
            setSuccessor(foundState_, cs);
            if (cs == 0)
                return restoreModel(c);
            maxContext_ = cs;
            return;
        }
        *at(text_++) = symbol;
        std::uint32_t successorRef = text_;
        if (text_ >= unitsStart_)
            return restoreModel(c);
        if (fSuccessor < unitsStart_) {
            fSuccessor = fSuccessor == 0 ? reduceOrder(found, minContext_)
                                         : createSuccessors(false, found, minContext_);
            if (fSuccessor == 0)
                return restoreModel(c);
        }
        if (--orderFall_ == 0) {
            successorRef = fSuccessor;
            text_ -= maxContext_ != minContext_;
        }
        if (const std::uint32_t full = addSymbol(symbol, fFreq, successorRef))
            return restoreModel(full);
        maxContext_ = minContext_ = fSuccessor;
    }

    unsigned restoreMethod_ = 0;
    std::uint16_t binSumm_[25][64] = {};
    See see_[24][32];
};

} // namespace

Status makePpmdZipStream(std::unique_ptr<InStream> input, std::uint64_t outSize,
                         std::unique_ptr<InStream> &stream) {
    std::uint8_t header[kHeaderSize];
    for (std::size_t have = 0, got = 1; have < kHeaderSize; have += got) {
        Status status = input->read(header + have, kHeaderSize - have, got);
        if (!status)
            return status;
        if (got == 0)
            return corruptData("PPMd header is cut short");
    }
    const unsigned value = header[0] | header[1] << 8;
    const unsigned order = (value & 0xF) + 1;
    const std::uint32_t memory = (((value >> 4) & 0xFF) + 1) << 20;
    const unsigned restoreMethod = value >> 12;
    if (order < kMinOrder || restoreMethod > kCutOff)
        return {ErrorCode::Unsupported, "PPMd properties are not supported"};
    auto ppmd = std::make_unique<Stream<Model, RangeDecoder>>(std::move(input), outSize);
    Status status = ppmd->start(memory);
    if (status) {
        ppmd->model.restart(order, restoreMethod);
        stream = std::move(ppmd);
    }
    return status;
}

} // namespace archive
