// GoogleTest's one thread primitive written on Win32: the win32 thread model's
// run-time has no std::mutex or std::condition_variable for GoogleTest's own.
#pragma once

#include <windows.h>

namespace testing::internal {

struct Notification {
    HANDLE hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~Notification() { ::CloseHandle(hEvent); }
    void Notify() { ::SetEvent(hEvent); }
    void WaitForNotification() { ::WaitForSingleObject(hEvent, INFINITE); }
};

} // namespace testing::internal
