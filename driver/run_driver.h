#pragma once
#include "errors/win32_error.h"

// One invocation of the tool: logger up, command line, then either the
// comparison of documents or the series of runs (each the four tests on every
// client, its result lines, its test files removed) with its tables and result
// files; the verdict, logger down. Returns the invocation's Win32 code.
Win32Error RunQuillmarsh(int argc, const wchar_t* const* argv);
