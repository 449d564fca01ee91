#pragma once

// The few thread primitives the core uses, in the shape of the standard ones so that
// std::lock_guard and std::unique_lock work with them. On Windows they are written on
// the calls that Windows 95 and NT 4.0 already have: the run-time's own threads need
// newer Windows than the library must start on.

#include <chrono>
#include <mutex>

#ifdef _WIN32
#include <functional>
#include <memory>
#include <windows.h>
#else
#include <condition_variable>
#include <thread>
#endif

namespace archive {

#ifdef _WIN32

class Mutex {
public:
    Mutex() { InitializeCriticalSection(&section_); }
    Mutex(const Mutex &) = delete;
    Mutex &operator=(const Mutex &) = delete;
    ~Mutex() { DeleteCriticalSection(&section_); }

    void lock() { EnterCriticalSection(&section_); }
    void unlock() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

// Each waiter sleeps on an event of its own, put on the list while it still holds the
// mutex, so a change made under the mutex and notified after it is never missed.
class Condition {
public:
    Condition() = default;
    Condition(const Condition &) = delete;
    Condition &operator=(const Condition &) = delete;

    template <class Predicate> void wait(std::unique_lock<Mutex> &lock, Predicate ready) {
        while (!ready())
            sleep(lock, INFINITE);
    }

    template <class Rep, class Period, class Predicate>
    bool wait_for(std::unique_lock<Mutex> &lock, std::chrono::duration<Rep, Period> pause,
                  Predicate ready) {
        const auto until = std::chrono::steady_clock::now() + pause;
        while (!ready()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return ready();
            sleep(lock, static_cast<DWORD>(left.count()));
        }
        return true;
    }

    void notify_all();

private:
    struct Waiter {
        HANDLE event;
        Waiter *next;
    };
    void sleep(std::unique_lock<Mutex> &lock, DWORD milliseconds);

    Mutex waitersMutex_;
    Waiter *waiters_ = nullptr;
};

class Thread {
public:
    Thread() = default;
    // Throws std::system_error where the system makes no thread, as std::thread does.
    template <class Fn, class... Args> explicit Thread(Fn &&fn, Args &&...args) {
        start(std::bind(std::forward<Fn>(fn), std::forward<Args>(args)...));
    }
    Thread(Thread &&other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    Thread &operator=(Thread &&other) noexcept;
    ~Thread(); // a thread still joinable ends the process, as std::thread's does

    bool joinable() const { return handle_ != nullptr; }
    void join();
    static unsigned hardware_concurrency();

private:
    void start(std::function<void()> body);

    HANDLE handle_ = nullptr;
};

#else

using Mutex = std::mutex;
using Condition = std::condition_variable;
using Thread = std::thread;

#endif

} // namespace archive
