#pragma once
#include "errors/win32_error.h"

// One run of the tool: logger up, command line, the four tests, result lines,
// test file removed, verdict, logger down. Returns the run's Win32 code.
Win32Error RunQuillmarsh(int argc, const wchar_t* const* argv);
