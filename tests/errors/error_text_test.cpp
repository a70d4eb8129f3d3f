#include <gtest/gtest.h>

#include "errors/errno_to_win32.h"

TEST(ErrnoToWin32Error, Smoke) { EXPECT_EQ(ErrnoToWin32Error(28), 112u); }
