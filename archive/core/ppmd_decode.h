#pragma once

// What PPMd's variants H and I decode alike, over the model Variant that derives from
// Decoder<Variant>: a symbol in its context or, past the masked symbols, in a suffix, the
// frequencies after it, a context's states halved, and the contexts and states a symbol
// adds. Variant gives what differs: numStats and setNumStats, what a context stores, its
// number of states less kStatsBias; kMaxBinaryFreq; binSumm and makeEscFreq; isContext, a
// successor that is a context rather than text; updateModel, which leaves the next context
// in maxContext_; the formulas firstSucceeds, oneStateFreq, upFreq, escapeGain and
// newStateFreq; and its flags, where it keeps any.

#include "ppmd_model.h"

namespace archive {
namespace ppmd {

// The highest order either variant takes: a walk over a context's suffixes ends there.
constexpr unsigned kHighestOrder = 64;

template <class Variant> class Decoder : public SubAllocator {
public:
    // A symbol, -1 for the end mark, -2 for data no encoder writes.
    template <class RangeDecoder> Status decodeSymbol(RangeDecoder &rc, int &symbol) {
        bool masked[256];
        Status status;
        if (states(minContext_) != 1) {
            std::uint32_t s = stats(minContext_);
            const std::uint32_t count = rc.threshold(summFreq(minContext_));
            std::uint32_t hiCnt = freq(s);
            if (count < hiCnt) {
                if (!(status = rc.decode(0, freq(s))))
                    return status;
                foundState_ = s;
                symbol = sym(s);
                update1First();
                return {};
            }
            prevSuccess_ = 0;
            for (unsigned i = states(minContext_) - 1; i > 0; --i) {
                s += 6;
                if ((hiCnt += freq(s)) > count) {
                    if (!(status = rc.decode(hiCnt - freq(s), freq(s))))
                        return status;
                    foundState_ = s;
                    symbol = sym(s);
                    update1();
                    return {};
                }
            }
            if (count >= summFreq(minContext_)) {
                symbol = -2;
                return {};
            }
            if (!(status = rc.decode(hiCnt, summFreq(minContext_) - hiCnt)))
                return status;
            std::fill(std::begin(masked), std::end(masked), false);
            for (unsigned i = 0, n = states(minContext_); i < n; ++i)
                masked[sym(stats(minContext_) + 6 * i)] = true;
        } else {
            std::uint16_t &prob = variant().binSumm();
            unsigned bit = 0;
            if (!(status = rc.bit(prob, bit)))
                return status;
            if (bit == 0) {
                prob = std::uint16_t(prob + (1 << kIntBits) - mean(prob));
                foundState_ = oneState(minContext_);
                symbol = sym(foundState_);
                updateBinary();
                return {};
            }
            prob = std::uint16_t(prob - mean(prob));
            initEsc_ = kExpEscape[prob >> 10];
            std::fill(std::begin(masked), std::end(masked), false);
            masked[sym(oneState(minContext_))] = true;
            prevSuccess_ = 0;
        }
        for (;;) {
            const unsigned numMasked = numStats(minContext_);
            do {
                ++orderFall_;
                if (suffix(minContext_) == 0) {
                    symbol = -1;
                    return {};
                }
                minContext_ = suffix(minContext_);
            } while (numStats(minContext_) == numMasked);
            std::uint32_t candidates[256];
            unsigned n = 0;
            std::uint32_t hiCnt = 0;
            const unsigned unmasked = numStats(minContext_) - numMasked;
            // Bounded by the context's states too: a suffix may have fewer than were masked.
            const std::uint32_t end = stats(minContext_) + 6 * states(minContext_);
            for (std::uint32_t s = stats(minContext_); n != unmasked && s != end; s += 6) {
                if (!masked[sym(s)]) {
                    hiCnt += freq(s);
                    candidates[n++] = s;
                }
            }
            std::uint32_t freqSum = 0;
            See &see = variant().makeEscFreq(numMasked, freqSum);
            freqSum += hiCnt;
            const std::uint32_t count = rc.threshold(freqSum);
            if (count < hiCnt) {
                unsigned k = 0;
                for (hiCnt = 0; (hiCnt += freq(candidates[k])) <= count; ++k) {
                }
                const std::uint32_t s = candidates[k];
                if (!(status = rc.decode(hiCnt - freq(s), freq(s))))
                    return status;
                see.update();
                foundState_ = s;
                symbol = sym(s);
                update2();
                return {};
            }
            if (count >= freqSum) {
                symbol = -2;
                return {};
            }
            if (!(status = rc.decode(hiCnt, freqSum - hiCnt)))
                return status;
            see.summ = std::uint16_t(see.summ + freqSum);
            for (unsigned k = 0; k < n; ++k)
                masked[sym(candidates[k])] = true;
        }
    }

protected:
    Variant &variant() { return static_cast<Variant &>(*this); }

    // What the context stores, and the number of states that stands for.
    unsigned numStats(std::uint32_t c) { return variant().numStats(c); }
    void setNumStats(std::uint32_t c, unsigned n) { variant().setNumStats(c, n); }
    unsigned states(std::uint32_t c) { return numStats(c) + Variant::kStatsBias; }

    // Variant H keeps no flags; variant I's model hides these.
    void setFlags(std::uint32_t, unsigned) {}
    unsigned newContextFlags(std::uint8_t) { return 0; }
    void flagAddedState(std::uint32_t, std::uint8_t) {}
    void flagOneState(std::uint8_t) {}
    void flagRescaled(bool) {}

    // The model with its order-0 context alone, each symbol seen once.
    void startModel() {
        resetMemory();
        orderFall_ = maxOrder_;
        runLength_ = initRL_ = -int(maxOrder_ < 12 ? maxOrder_ : 12) - 1;
        prevSuccess_ = 0;
        minContext_ = maxContext_ = hiUnit_ -= kUnit;
        setSuffix(minContext_, 0);
        setNumStats(minContext_, 256 - Variant::kStatsBias);
        setSummFreq(minContext_, 256 + 1);
        foundState_ = allocRootStates();
        setStats(minContext_, foundState_);
    }

    // The state of a symbol the context has.
    std::uint32_t stateOf(std::uint32_t c, std::uint8_t symbol) {
        if (states(c) == 1)
            return oneState(c);
        std::uint32_t s = stats(c);
        while (sym(s) != symbol)
            s += 6;
        return s;
    }

    // Where foundState_'s symbol is rare, its state in the suffix gains; that state, 0 when
    // it is not looked for.
    std::uint32_t raiseInSuffix(std::uint8_t symbol, unsigned fFreq) {
        if (fFreq >= kMaxFreq / 4 || suffix(minContext_) == 0)
            return 0;
        const std::uint32_t c = suffix(minContext_);
        if (states(c) == 1) {
            const std::uint32_t s = oneState(c);
            if (freq(s) < 32)
                setFreq(s, freq(s) + 1);
            return s;
        }
        std::uint32_t s = stats(c);
        if (sym(s) != symbol) {
            do
                s += 6;
            while (sym(s) != symbol);
            if (freq(s) >= freq(s - 6)) {
                swapStates(s, s - 6);
                s -= 6;
            }
        }
        if (freq(s) < kMaxFreq - 9) {
            setFreq(s, freq(s) + 2);
            setSummFreq(c, summFreq(c) + 2);
        }
        return s;
    }

    // The one-state contexts foundState_'s successor lacks, from c's suffixes on, where
    // stateIn(c) is its symbol's state in the suffix c; 0 when memory runs out.
    template <class StateIn>
    std::uint32_t createSuccessors(bool skip, std::uint32_t c, StateIn stateIn) {
        const std::uint32_t upBranch = successor(foundState_);
        std::uint32_t ps[kHighestOrder + 1];
        unsigned numPs = 0;
        if (!skip)
            ps[numPs++] = foundState_;
        while (suffix(c) != 0) {
            c = suffix(c);
            const std::uint32_t s = stateIn(c);
            if (successor(s) != upBranch) {
                c = successor(s);
                if (numPs == 0)
                    return c;
                break;
            }
            ps[numPs++] = s;
        }
        const std::uint8_t upSymbol = *at(upBranch);
        unsigned upFreq = 0;
        if (states(c) == 1) {
            upFreq = freq(oneState(c));
        } else {
            const std::uint32_t cf = freq(stateOf(c, upSymbol)) - 1u;
            // Never 0 where the model keeps its rules; no division by 0 whatever the data.
            const std::uint32_t s0 = std::max(1u, summFreq(c) - numStats(c) - cf);
            upFreq = 1 + (2 * cf <= s0 ? (5 * cf > s0) : Variant::upFreq(cf, s0));
        }
        const unsigned upFlags = variant().newContextFlags(upSymbol);
        do {
            const std::uint32_t c1 = allocContext();
            if (c1 == 0)
                return 0;
            setNumStats(c1, 1 - Variant::kStatsBias);
            variant().setFlags(c1, upFlags);
            const std::uint32_t s = oneState(c1);
            *at(s) = upSymbol;
            setFreq(s, upFreq);
            setSuccessor(s, upBranch + 1);
            setSuffix(c1, c);
            setSuccessor(ps[--numPs], c1);
            c = c1;
        } while (numPs != 0);
        return c;
    }

    // The contexts from maxContext_ down to minContext_ lack foundState_'s symbol: each
    // gains a state of it, its successor successorRef. The context where memory runs out,
    // 0 when it does not.
    std::uint32_t addSymbol(std::uint8_t symbol, unsigned fFreq, std::uint32_t successorRef) {
        const unsigned ns = states(minContext_);
        const std::uint32_t s0 = summFreq(minContext_) - ns - (fFreq - 1u);
        for (std::uint32_t c = maxContext_; c != minContext_; c = suffix(c)) {
            const unsigned n1 = states(c);
            if (n1 != 1) {
                // A unit holds two states: an even number fills the block.
                if ((n1 & 1) == 0) {
                    const unsigned oldUnits = n1 >> 1;
                    const unsigned i = unitsToIndex(oldUnits);
                    if (i != unitsToIndex(oldUnits + 1)) {
                        const std::uint32_t block = allocUnits(i + 1);
                        if (block == 0)
                            return c;
                        std::memmove(at(block), at(stats(c)), oldUnits * kUnit);
                        insertNode(stats(c), i);
                        setStats(c, block);
                    }
                }
                setSummFreq(c, summFreq(c) + Variant::escapeGain(n1, ns, summFreq(c)));
            } else {
                const std::uint32_t s = allocUnits(0);
                if (s == 0)
                    return c;
                copyState(s, oneState(c));
                setStats(c, s);
                setFreq(s, freq(s) < kMaxFreq / 4 - 1 ? freq(s) * 2 : kMaxFreq - 4);
                setSummFreq(c, freq(s) + initEsc_ + (ns > 3));
            }
            const std::uint32_t cf =
                variant().newStateFreq(c, 2 * fFreq * (summFreq(c) + 6), s0 + summFreq(c));
            const std::uint32_t s = stats(c) + 6 * n1;
            setSuccessor(s, successorRef);
            *at(s) = symbol;
            setFreq(s, cf);
            variant().flagAddedState(c, symbol);
            setNumStats(c, numStats(c) + 1);
        }
        return 0;
    }

    std::uint32_t minContext_ = 0;
    std::uint32_t maxContext_ = 0;
    std::uint32_t foundState_ = 0;
    unsigned maxOrder_ = 0;
    unsigned orderFall_ = 0;
    unsigned initEsc_ = 0;
    unsigned prevSuccess_ = 0;
    int runLength_ = 0;
    int initRL_ = 0;
    // Stands in for the estimator of a context that has every symbol: its mean is never
    // taken and it never adapts.
    See dummySee_{0, kPeriodBits, 64};

private:
    void rescale() {
        const std::uint32_t first = stats(minContext_);
        std::uint32_t s = foundState_;
        // The found state goes first.
        if (s != first) {
            std::uint8_t found[6];
            std::memcpy(found, at(s), 6);
            for (; s != first; s -= 6)
                copyState(s, s - 6);
            std::memcpy(at(s), found, 6);
        }
        unsigned escFreq = summFreq(minContext_) - freq(s);
        setFreq(s, freq(s) + 4);
        const unsigned adder = orderFall_ != 0;
        setFreq(s, (freq(s) + adder) >> 1);
        unsigned sumFreq = freq(s);
        unsigned i = states(minContext_) - 1;
        do {
            s += 6;
            escFreq -= freq(s);
            setFreq(s, (freq(s) + adder) >> 1);
            sumFreq += freq(s);
            if (freq(s) > freq(s - 6)) {
                std::uint8_t moved[6];
                std::memcpy(moved, at(s), 6);
                std::uint32_t s1 = s;
                do
                    copyState(s1, s1 - 6);
                while ((s1 -= 6) != first && moved[1] > freq(s1 - 6));
                std::memcpy(at(s1), moved, 6);
            }
        } while (--i);
        const bool dropped = freq(s) == 0;
        if (dropped) {
            const unsigned oldStates = states(minContext_);
            do
                ++i;
            while (freq(s -= 6) == 0);
            escFreq += i;
            setNumStats(minContext_, numStats(minContext_) - i);
            if (states(minContext_) == 1) {
                std::uint8_t only[6];
                std::memcpy(only, at(first), 6);
                only[1] = std::uint8_t(Variant::oneStateFreq(only[1], escFreq));
                insertNode(first, unitsToIndex((oldStates + 1) >> 1));
                variant().flagOneState(only[0]);
                foundState_ = oneState(minContext_);
                std::memcpy(at(foundState_), only, 6);
                return;
            }
            const unsigned n0 = (oldStates + 1) >> 1;
            const unsigned n1 = (states(minContext_) + 1) >> 1;
            if (n0 != n1)
                setStats(minContext_, shrinkUnits(first, n0, n1));
        }
        setSummFreq(minContext_, sumFreq + escFreq - (escFreq >> 1));
        variant().flagRescaled(dropped);
        foundState_ = stats(minContext_);
    }

    void nextContext() {
        const std::uint32_t c = successor(foundState_);
        if (orderFall_ == 0 && variant().isContext(c))
            minContext_ = maxContext_ = c;
        else
            variant().updateModel();
    }

    void update1() {
        std::uint32_t s = foundState_;
        setFreq(s, freq(s) + 4);
        setSummFreq(minContext_, summFreq(minContext_) + 4);
        if (freq(s) > freq(s - 6)) {
            swapStates(s, s - 6);
            foundState_ = s -= 6;
            if (freq(s) > kMaxFreq)
                rescale();
        }
        nextContext();
    }

    void update1First() {
        prevSuccess_ = Variant::firstSucceeds(freq(foundState_), summFreq(minContext_));
        runLength_ += prevSuccess_;
        setSummFreq(minContext_, summFreq(minContext_) + 4);
        setFreq(foundState_, freq(foundState_) + 4);
        if (freq(foundState_) > kMaxFreq)
            rescale();
        nextContext();
    }

    void update2() {
        setFreq(foundState_, freq(foundState_) + 4);
        setSummFreq(minContext_, summFreq(minContext_) + 4);
        if (freq(foundState_) > kMaxFreq)
            rescale();
        runLength_ = initRL_;
        variant().updateModel();
    }

    void updateBinary() {
        setFreq(foundState_, freq(foundState_) + (freq(foundState_) < Variant::kMaxBinaryFreq));
        prevSuccess_ = 1;
        ++runLength_;
        nextContext();
    }
};

} // namespace ppmd
} // namespace archive
