// Registry keys, service, printer and kernel handles that close themselves,
// so that no early return leaves one open.
#pragma once

#include "system/platform.h"

template <class Handle, class Closer> class COwnedHandle {
public:
    COwnedHandle() = default;
    explicit COwnedHandle(Handle h) : m_h(h) {}
    ~COwnedHandle() {
        if (m_h != nullptr)
            Closer::Close(m_h);
    }
    COwnedHandle(const COwnedHandle &) = delete;
    COwnedHandle &operator=(const COwnedHandle &) = delete;

    Handle Get() const { return m_h; }
    // Where an opening call writes the handle; only while none is held.
    Handle *Receive() { return &m_h; }
    explicit operator bool() const { return m_h != nullptr; }

private:
    Handle m_h = nullptr;
};

struct RegKeyCloser {
    static void Close(HKEY h) { Platform().RegCloseKey(h); }
};
struct ServiceCloser {
    static void Close(SC_HANDLE h) { Platform().CloseServiceHandle(h); }
};
struct PrinterCloser {
    static void Close(HANDLE h) { Platform().ClosePrinter(h); }
};
struct KernelCloser {
    static void Close(HANDLE h) { Platform().CloseHandle(h); }
};

using CRegKey = COwnedHandle<HKEY, RegKeyCloser>;
using CServiceHandle = COwnedHandle<SC_HANDLE, ServiceCloser>;
using CPrinterHandle = COwnedHandle<HANDLE, PrinterCloser>;
using CKernelHandle = COwnedHandle<HANDLE, KernelCloser>;
