// Restores the platform table when a test ends, so every entry a test
// replaces goes back to the real function.
#pragma once

#include "system/platform.h"

#include <gtest/gtest.h>

// A stand-in for a function the program looks up at run time.
template <class Fn> FARPROC AsFarProc(Fn pfn) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(pfn));
}

class PlatformTest : public ::testing::Test {
protected:
    PlatformApi &api() { return Platform(); }
    void TearDown() override { Platform() = m_saved; }

private:
    PlatformApi m_saved = Platform();
};
