// GoogleTest's one thread primitive written on Win32: the win32 thread model's
// run-time has no std::mutex or std::condition_variable for GoogleTest's own.
#pragma once

#include <windows.h>

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : m_hEvent(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    Notification(const Notification &) = delete;
    Notification &operator=(const Notification &) = delete;
    ~Notification() { ::CloseHandle(m_hEvent); }

    void Notify() { ::SetEvent(m_hEvent); }
    void WaitForNotification() { ::WaitForSingleObject(m_hEvent, INFINITE); }

private:
    HANDLE m_hEvent;
};

} // namespace internal
} // namespace testing
