#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/run_settings.h"
#include "errors/win32_error.h"

// What the arguments say, before anything on disk is looked at.
struct CommandLine {
    bool help = false;                  // no arguments or a help option: the usage text, no test
    std::wstring error;                 // the first error (the command line is refused), or empty
    std::vector<std::wstring> warnings; // what was read other than typed, in order
};

// Fills `settings` from the arguments (argv[0] is the program and is skipped)
// by the rules of the option table; touches no file and logs nothing.
CommandLine ParseArguments(int argc, const wchar_t* const* argv, RunSettings& settings);

// Fills `settings` from the arguments (argv[0] is the program and is skipped).
// Prints the usage text for no arguments or a help option; logs every error
// (category "ProcessCmdLine") and returns 87 for it. runTests is true only for
// a complete, valid command line, which also names the run's test file. A
// valid -compare command line returns 0 with settings.compareFiles filled and
// runTests false: it runs no test.
Win32Error ProcessCmdLine(int argc, const wchar_t* const* argv, RunSettings& settings, bool& runTests);

// The standard string-to-int rules in base 10: leading white space, an optional
// sign, decimal digits of any script (full-width, Arabic-Indic, ...) up to the
// first other character. False when no digit was read or the value lies outside
// the signed 32-bit range. `used`, when given, receives how many characters
// were read.
bool ParseInt32(const std::wstring& text, std::int32_t& value, std::size_t* used = nullptr);
