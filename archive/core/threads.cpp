#include "threads.h"

#ifdef _WIN32

#include <exception>
#include <system_error>

namespace archive {

void Condition::sleep(std::unique_lock<Mutex> &lock, DWORD milliseconds) {
    Waiter self{CreateEventA(nullptr, FALSE, FALSE, nullptr), nullptr};
    if (self.event == nullptr)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category());
    {
        std::lock_guard<Mutex> guard(waitersMutex_);
        self.next = waiters_;
        waiters_ = &self;
    }
    lock.unlock();
    WaitForSingleObject(self.event, milliseconds);
    lock.lock();
    {
        // A notified waiter is off the list already; one that timed out takes itself off.
        std::lock_guard<Mutex> guard(waitersMutex_);
        for (Waiter **link = &waiters_; *link != nullptr; link = &(*link)->next)
            if (*link == &self) {
                *link = self.next;
                break;
            }
    }
    CloseHandle(self.event);
}

void Condition::notify_all() {
    std::lock_guard<Mutex> guard(waitersMutex_);
    for (Waiter *waiter = waiters_; waiter != nullptr; waiter = waiter->next)
        SetEvent(waiter->event);
    waiters_ = nullptr;
}

namespace {

DWORD WINAPI RunBody(void *parameter) noexcept {
    const std::unique_ptr<std::function<void()>> body(
        static_cast<std::function<void()> *>(parameter));
    (*body)();
    return 0;
}

} // namespace

void Thread::start(std::function<void()> body) {
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    // Windows 95 makes no thread for a caller that takes no thread id.
    DWORD id = 0;
    handle_ = CreateThread(nullptr, 0, RunBody, owned.get(), 0, &id);
    if (handle_ == nullptr)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category());
    owned.release();
}

Thread &Thread::operator=(Thread &&other) noexcept {
    if (joinable())
        std::terminate();
    handle_ = other.handle_;
    other.handle_ = nullptr;
    return *this;
}

Thread::~Thread() {
    if (joinable())
        std::terminate();
}

void Thread::join() {
    WaitForSingleObject(handle_, INFINITE);
    CloseHandle(handle_);
    handle_ = nullptr;
}

unsigned Thread::hardware_concurrency() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

} // namespace archive

#endif
