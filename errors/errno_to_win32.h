#pragma once
#include "errors/win32_error.h"

// Maps the error number left by a failed runtime library call to the Win32 code
// the tool returns. Unknown numbers (0 and negatives included) give 1.
Win32Error ErrnoToWin32Error(int errnoValue);
