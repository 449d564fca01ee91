// The clocks the benchmark programs read: wall time and this process's CPU
// time, both in milliseconds.
#pragma once

#include <windows.h>

inline double NowMs() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// User and kernel time of the whole process.
inline double ProcessCpuMs() {
    FILETIME ftCreation, ftExit, ftKernel, ftUser;
    ::GetProcessTimes(::GetCurrentProcess(), &ftCreation, &ftExit, &ftKernel, &ftUser);
    const auto toUll = [](const FILETIME &ft) {
        return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    };
    return static_cast<double>(toUll(ftKernel) + toUll(ftUser)) / 10000.0;
}
