// Restores the platform table when a test ends, so every entry a test
// replaces goes back to the real function.
#pragma once

#include "system/platform.h"

#include <gtest/gtest.h>

class PlatformTest : public ::testing::Test {
protected:
    PlatformApi &api() { return Platform(); }
    void TearDown() override { Platform() = m_saved; }

private:
    PlatformApi m_saved = Platform();
};
