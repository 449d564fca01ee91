#pragma once

#include "archive_reader.h"
#include "status.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace archive {

// The most one coder may hold: past this a window or model could not be allocated in a
// 32-bit process anyway.
constexpr std::uint64_t kMaxCoderMemory = std::uint64_t(1) << 30;

// One stream of a 7z folder: packed data, or the output of a coder that pulls from the
// streams it is bound to.
class InStream {
public:
    virtual ~InStream() = default;
    // Reads up to n (> 0) bytes; got == 0 means the stream has ended.
    virtual Status read(std::uint8_t *out, std::size_t n, std::size_t &got) = 0;
};

// A coder's output, whose error waits behind the data decoded before it, so
// that the files that data completes still count.
class DecodedStream : public InStream {
public:
    Status read(std::uint8_t *out, std::size_t n, std::size_t &got) final {
        got = 0;
        if (!error_)
            return error_;
        error_ = decode(out, n, got);
        return got > 0 ? Status{} : error_;
    }

protected:
    // As read, but an error may come with output in got.
    virtual Status decode(std::uint8_t *out, std::size_t n, std::size_t &got) = 0;

private:
    Status error_;
};

// A range of the archive's bytes.
class SourceStream : public InStream {
public:
    SourceStream(ByteSource &source, std::uint64_t offset, std::uint64_t size)
        : source_(source), offset_(offset), remaining_(size) {}

    Status read(std::uint8_t *out, std::size_t n, std::size_t &got) override {
        got = static_cast<std::size_t>(std::min<std::uint64_t>(n, remaining_));
        if (got != 0 && !source_.readAt(offset_, out, got))
            return {ErrorCode::ArchiveOpen, "cannot read the archive"};
        offset_ += got;
        remaining_ -= got;
        return {};
    }

private:
    ByteSource &source_;
    std::uint64_t offset_;
    std::uint64_t remaining_;
};

inline Status corruptData(const char *what) {
    return {ErrorCode::DataError, what};
}

// Pulls an input stream a block at a time, for coders that look at single bytes.
class BufferedInput {
public:
    explicit BufferedInput(std::unique_ptr<InStream> input, std::size_t blockSize = 64 * 1024)
        : input_(std::move(input)), buffer_(blockSize) {}

    // Refills when empty; an empty result after a good status is the stream's end.
    Status fill() {
        if (pos_ < size_)
            return {};
        pos_ = size_ = 0;
        return input_->read(buffer_.data(), buffer_.size(), size_);
    }
    const std::uint8_t *data() const { return buffer_.data() + pos_; }
    std::size_t available() const { return size_ - pos_; }
    void consume(std::size_t n) { pos_ += std::min(n, available()); }

    // One byte, or false at the end of the stream or on error (in status).
    bool next(std::uint8_t &byte, Status &status) {
        if (pos_ == size_) {
            status = fill();
            if (!status || size_ == 0)
                return false;
        }
        byte = buffer_[pos_++];
        return true;
    }

private:
    std::unique_ptr<InStream> input_;
    std::vector<std::uint8_t> buffer_;
    std::size_t pos_ = 0;
    std::size_t size_ = 0;
};

} // namespace archive
