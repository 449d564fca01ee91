#pragma once

#include "coder_stream.h"
#include "threads.h"

#include <deque>

namespace archive {

// Reads its input on a thread of its own, a few blocks ahead of the reader, so that
// decoding a solid block and writing the files it holds overlap. Errors arrive in order,
// after the data before them.
class ReadAheadStream : public InStream {
public:
    explicit ReadAheadStream(std::unique_ptr<InStream> input);
    ReadAheadStream(const ReadAheadStream &) = delete;
    ReadAheadStream &operator=(const ReadAheadStream &) = delete;
    ~ReadAheadStream() override; // stops the thread after its current block

    Status read(std::uint8_t *out, std::size_t n, std::size_t &got) override;

private:
    struct Block {
        std::vector<std::uint8_t> data;
        Status status;
    };
    void run();

    std::unique_ptr<InStream> input_;
    Mutex mutex_;
    Condition changed_;
    std::deque<Block> ready_; // an empty block marks the end or an error
    std::size_t taken_ = 0;   // of ready_.front()
    bool stop_ = false;
    Thread thread_;
};

} // namespace archive
