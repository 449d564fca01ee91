#include "read_ahead.h"

#include <cstring>

namespace archive {
namespace {

// Four blocks of 256 KiB keep the writer busy while costing little memory.
constexpr std::size_t kBlockSize = 256 * 1024;
constexpr std::size_t kBlocksAhead = 4;

} // namespace

ReadAheadStream::ReadAheadStream(std::unique_ptr<InStream> input)
    : input_(std::move(input)), thread_(&ReadAheadStream::run, this) {}

ReadAheadStream::~ReadAheadStream() {
    {
        std::lock_guard<Mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void ReadAheadStream::run() {
    for (;;) {
        {
            std::unique_lock<Mutex> lock(mutex_);
            changed_.wait(lock, [this] { return stop_ || ready_.size() < kBlocksAhead; });
            if (stop_)
                return;
        }
        Block block;
        try {
            block.data.resize(kBlockSize);
            std::size_t filled = 0;
            for (std::size_t got = 1; block.status && got != 0 && filled < kBlockSize;) {
                block.status = input_->read(block.data.data() + filled, kBlockSize - filled, got);
                filled += got;
            }
            block.data.resize(filled);
        } catch (const std::bad_alloc &) {
            block = {{}, {ErrorCode::Internal, "out of memory"}};
        }
        const bool last = block.data.empty() || !block.status;
        {
            std::lock_guard<Mutex> lock(mutex_);
            ready_.push_back(std::move(block));
        }
        changed_.notify_all();
        if (last)
            return;
    }
}

Status ReadAheadStream::read(std::uint8_t *out, std::size_t n, std::size_t &got) {
    got = 0;
    std::unique_lock<Mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !ready_.empty(); });
    Block &block = ready_.front();
    if (block.data.empty())
        return block.status;
    got = std::min(n, block.data.size() - taken_);
    std::memcpy(out, block.data.data() + taken_, got);
    taken_ += got;
    if (taken_ == block.data.size()) {
        // An error waits behind the data it follows.
        const Status status = block.status;
        ready_.pop_front();
        taken_ = 0;
        if (!status)
            ready_.push_front({{}, status});
        lock.unlock();
        changed_.notify_all();
    }
    return {};
}

} // namespace archive
