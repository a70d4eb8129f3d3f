#pragma once
// What the tool prints on its console, for tests that run it and compare.
#include <string>
#include <vector>

#include "errors/win32_error.h"

// The lines of `text`, without their line feeds.
std::vector<std::string> Lines(const std::string& text);

// `text` with every character outside ASCII shown as '?'.
std::string Narrow(const std::wstring& text);

// `text` as a regular expression that matches it literally.
std::string RegexText(const std::string& text);

// A regular expression for the whole standard output of a successful run whose
// test file lies directly in `folder` (as the tool names it), with the file's
// UUID and the timings left open.
std::string SuccessfulRunPattern(const std::wstring& folder);

// The verdict line for a failure as the console shows it (carriage returns
// dropped, as the process runner does).
std::string FailureVerdict(Win32Error code);
