#pragma once

// What PPMd's variants H (7z) and I (ZIP) share: the model's memory and its allocator,
// secondary escape estimation, the tables and the stream that decodes symbol by symbol.

#include "coder_stream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace archive {
namespace ppmd {

constexpr std::uint32_t kUnit = 12;
constexpr unsigned kIndexes = 38;
constexpr unsigned kMaxFreq = 124;
constexpr unsigned kIntBits = 7;
constexpr unsigned kPeriodBits = 7;
constexpr unsigned kBinScale = 1 << (kIntBits + kPeriodBits);
constexpr std::uint32_t kTop = 1 << 24;
// Offset 0 is the null reference, so the memory proper starts further on.
constexpr std::uint32_t kOrigin = 4;
constexpr std::uint16_t kInitBinEsc[8] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3,
                                          0x64A1, 0x5ABC, 0x6632, 0x6051};
constexpr std::uint8_t kExpEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};

inline Status corrupt() {
    return corruptData("PPMd data is corrupt");
}

inline unsigned mean(unsigned prob) {
    return (prob + (1 << (kPeriodBits - 2))) >> kPeriodBits;
}

// Secondary escape estimation: an adaptive escape frequency per kind of context.
struct See {
    std::uint16_t summ = 0;
    std::uint8_t shift = 0;
    std::uint8_t count = 0;

    unsigned mean() {
        const unsigned r = summ >> shift;
        summ = std::uint16_t(summ - r);
        return r + (r == 0);
    }
    void update() {
        if (shift < kPeriodBits && --count == 0) {
            summ = std::uint16_t(summ << 1);
            count = std::uint8_t(3 << shift++);
        }
    }
};

struct Tables {
    std::uint8_t indexToUnits[kIndexes];
    std::uint8_t unitsToIndex[128];
    std::uint8_t ns2bsIndex[256];
    // 8 for a symbol of 0x40 and up, which the variants weigh apart.
    std::uint8_t hb2Flag[256];

    Tables() {
        unsigned k = 0;
        for (unsigned i = 0, step = 1; i < kIndexes; ++i) {
            step = i < 4 ? 1 : i < 8 ? 2 : i < 12 ? 3 : 4;
            k += step;
            indexToUnits[i] = std::uint8_t(k);
        }
        for (unsigned n = 0, i = 0; n < 128; ++n) {
            i += indexToUnits[i] < n + 1;
            unitsToIndex[n] = std::uint8_t(i);
        }
        ns2bsIndex[0] = 0;
        ns2bsIndex[1] = 2;
        std::memset(ns2bsIndex + 2, 4, 9);
        std::memset(ns2bsIndex + 11, 6, 256 - 11);
        std::memset(hb2Flag, 0, 0x40);
        std::memset(hb2Flag + 0x40, 8, 0x100 - 0x40);
    }
};

inline const Tables &tables() {
    static const Tables t;
    return t;
}

// The classes of state counts: the first `exact` each their own, then runs one longer
// each time.
inline void fillNs2Index(std::uint8_t *table, unsigned size, unsigned exact) {
    unsigned i = 0;
    for (; i < exact; ++i)
        table[i] = std::uint8_t(i);
    for (unsigned m = i, left = 1; i < size; ++i) {
        table[i] = std::uint8_t(m);
        if (--left == 0)
            left = ++m - (exact - 1);
    }
}

// Past the input's end it reads zeros; the CRC of what that decodes to fails.
class ZeroPaddedInput {
public:
    explicit ZeroPaddedInput(std::unique_ptr<InStream> input) : input_(std::move(input)) {}

    Status byte(std::uint8_t &b) {
        Status status;
        if (!input_.next(b, status))
            b = 0;
        return status;
    }

private:
    BufferedInput input_;
};

// The model's one block of memory, addressed by 32-bit offsets, and its allocator: units
// of 12 bytes in lists of free blocks by size class. A state is a symbol, its frequency
// and its successor (6 bytes); a context is one unit, its suffix last, its only state at
// offset 2. A free block is its next block in the list, a stamp no used block has there
// (bytes 4 to 7 of a used one are an offset, below 2^31) and its units.
class SubAllocator {
public:
    bool allocate(std::uint32_t size) {
        size_ = size;
        memory_.reset(new (std::nothrow) std::uint8_t[kOrigin + size + kUnit]);
        return memory_ != nullptr;
    }

protected:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;

    SubAllocator() = default;
    virtual ~SubAllocator() = default;
    SubAllocator(const SubAllocator &) = delete;
    SubAllocator &operator=(const SubAllocator &) = delete;

    // Free blocks side by side become one, then go back to the lists.
    virtual void glueFreeBlocks() = 0;

    std::uint8_t *at(std::uint32_t offset) { return memory_.get() + offset; }
    std::uint16_t u16(std::uint32_t offset) {
        std::uint16_t v;
        std::memcpy(&v, at(offset), 2);
        return v;
    }
    void setU16(std::uint32_t offset, unsigned v) {
        const std::uint16_t w = std::uint16_t(v);
        std::memcpy(at(offset), &w, 2);
    }
    std::uint32_t u32(std::uint32_t offset) {
        std::uint32_t v;
        std::memcpy(&v, at(offset), 4);
        return v;
    }
    void setU32(std::uint32_t offset, std::uint32_t v) { std::memcpy(at(offset), &v, 4); }

    std::uint8_t sym(std::uint32_t s) { return *at(s); }
    std::uint8_t freq(std::uint32_t s) { return *at(s + 1); }
    void setFreq(std::uint32_t s, unsigned f) { *at(s + 1) = std::uint8_t(f); }
    std::uint32_t successor(std::uint32_t s) { return u32(s + 2); }
    void setSuccessor(std::uint32_t s, std::uint32_t v) { setU32(s + 2, v); }
    void swapStates(std::uint32_t a, std::uint32_t b) {
        std::uint8_t t[6];
        std::memcpy(t, at(a), 6);
        std::memmove(at(a), at(b), 6);
        std::memcpy(at(b), t, 6);
    }
    void copyState(std::uint32_t to, std::uint32_t from) { std::memmove(at(to), at(from), 6); }

    unsigned summFreq(std::uint32_t c) { return u16(c + 2); }
    void setSummFreq(std::uint32_t c, unsigned f) { setU16(c + 2, f); }
    std::uint32_t stats(std::uint32_t c) { return u32(c + 4); }
    void setStats(std::uint32_t c, std::uint32_t s) { setU32(c + 4, s); }
    std::uint32_t suffix(std::uint32_t c) { return u32(c + 8); }
    void setSuffix(std::uint32_t c, std::uint32_t s) { setU32(c + 8, s); }
    static std::uint32_t oneState(std::uint32_t c) { return c + 2; }

    unsigned indexToUnits(unsigned i) { return tables().indexToUnits[i]; }
    unsigned unitsToIndex(unsigned n) { return tables().unitsToIndex[n - 1]; }

    std::uint32_t stamp(std::uint32_t node) { return u32(node + 4); }
    void setStamp(std::uint32_t node, std::uint32_t v) { setU32(node + 4, v); }
    std::uint32_t nodeUnits(std::uint32_t node) { return u32(node + 8); }
    void setNodeUnits(std::uint32_t node, std::uint32_t v) { setU32(node + 8, v); }

    void insertNode(std::uint32_t node, unsigned index) {
        setU32(node, freeList_[index]);
        setStamp(node, kEmpty);
        setNodeUnits(node, indexToUnits(index));
        freeList_[index] = node;
        ++freeCount_[index];
    }
    std::uint32_t removeNode(unsigned index) {
        const std::uint32_t node = freeList_[index];
        freeList_[index] = u32(node);
        --freeCount_[index];
        return node;
    }
    // Empties the lists for a glue to fill them again.
    void clearLists() {
        std::fill(std::begin(freeList_), std::end(freeList_), 0);
        std::fill(std::begin(freeCount_), std::end(freeCount_), 0);
    }
    void splitBlock(std::uint32_t block, unsigned oldIndex, unsigned newIndex) {
        const unsigned left = indexToUnits(oldIndex) - indexToUnits(newIndex);
        block += indexToUnits(newIndex) * kUnit;
        unsigned i = unitsToIndex(left);
        if (indexToUnits(i) != left) {
            const unsigned k = indexToUnits(--i);
            insertNode(block + k * kUnit, left - k - 1);
        }
        insertNode(block, i);
    }
    // A block of units units cut into the lists' sizes.
    void insertUnits(std::uint32_t block, unsigned units) {
        for (; units > 128; units -= 128, block += 128 * kUnit)
            insertNode(block, kIndexes - 1);
        unsigned i = unitsToIndex(units);
        if (indexToUnits(i) != units) {
            const unsigned k = indexToUnits(--i);
            insertNode(block + k * kUnit, units - k - 1);
        }
        insertNode(block, i);
    }

    std::uint32_t allocUnitsRare(unsigned index) {
        if (glueCount_ == 0) {
            glueFreeBlocks();
            if (freeList_[index] != 0)
                return removeNode(index);
        }
        unsigned i = index;
        do {
            if (++i == kIndexes) {
                const std::uint32_t bytes = indexToUnits(index) * kUnit;
                --glueCount_;
                if (unitsStart_ - text_ > bytes)
                    return unitsStart_ -= bytes;
                return 0;
            }
        } while (freeList_[i] == 0);
        const std::uint32_t block = removeNode(i);
        splitBlock(block, i, index);
        return block;
    }

    std::uint32_t allocUnits(unsigned index) {
        if (freeList_[index] != 0)
            return removeNode(index);
        const std::uint32_t bytes = indexToUnits(index) * kUnit;
        if (bytes <= hiUnit_ - loUnit_) {
            const std::uint32_t block = loUnit_;
            loUnit_ += bytes;
            return block;
        }
        return allocUnitsRare(index);
    }

    std::uint32_t allocContext() {
        if (hiUnit_ != loUnit_)
            return hiUnit_ -= kUnit;
        if (freeList_[0] != 0)
            return removeNode(0);
        return allocUnitsRare(0);
    }

    std::uint32_t shrinkUnits(std::uint32_t block, unsigned oldUnits, unsigned newUnits) {
        const unsigned i0 = unitsToIndex(oldUnits);
        const unsigned i1 = unitsToIndex(newUnits);
        if (i0 == i1)
            return block;
        if (freeList_[i1] != 0) {
            const std::uint32_t moved = removeNode(i1);
            std::memmove(at(moved), at(block), newUnits * kUnit);
            insertNode(block, i0);
            return moved;
        }
        splitBlock(block, i0, i1);
        return block;
    }

    // Empty memory, the text at its start, the units (an eighth) at its end; then the
    // order-0 context's 256 states, each seen once, at the units' start.
    void resetMemory() {
        clearLists();
        text_ = kOrigin;
        hiUnit_ = text_ + size_;
        loUnit_ = unitsStart_ = hiUnit_ - size_ / 8 / kUnit * 7 * kUnit;
        glueCount_ = 0;
    }
    std::uint32_t allocRootStates() {
        const std::uint32_t first = loUnit_;
        for (unsigned i = 0; i < 256; ++i) {
            const std::uint32_t s = first + 6 * i;
            *at(s) = std::uint8_t(i);
            setFreq(s, 1);
            setSuccessor(s, 0);
        }
        loUnit_ += 256 / 2 * kUnit;
        return first;
    }

    std::unique_ptr<std::uint8_t[]> memory_;
    std::uint32_t size_ = 0;
    std::uint32_t text_ = 0;
    std::uint32_t unitsStart_ = 0;
    std::uint32_t loUnit_ = 0;
    std::uint32_t hiUnit_ = 0;
    std::uint32_t freeList_[kIndexes] = {};
    std::uint32_t freeCount_[kIndexes] = {};
    unsigned glueCount_ = 0;
};

// A model's output, outSize symbols; the model's memory is allocated before the first.
template <class Model, class RangeDecoder> class Stream : public DecodedStream {
public:
    Stream(std::unique_ptr<InStream> input, std::uint64_t outSize)
        : rc_(std::move(input)), remaining_(outSize) {}

    Model model;

    Status start(std::uint32_t memory) {
        if (!model.allocate(memory))
            return {ErrorCode::Internal, "out of memory"};
        return rc_.start();
    }

protected:
    Status decode(std::uint8_t *out, std::size_t n, std::size_t &got) override {
        for (; got < n && remaining_ > 0; --remaining_) {
            int symbol = 0;
            Status status = model.decodeSymbol(rc_, symbol);
            if (!status)
                return status;
            if (symbol < 0)
                return symbol == -1 ? corruptData("PPMd data ends early") : corrupt();
            out[got++] = std::uint8_t(symbol);
        }
        return {};
    }

private:
    RangeDecoder rc_;
    std::uint64_t remaining_;
};

} // namespace ppmd
} // namespace archive
