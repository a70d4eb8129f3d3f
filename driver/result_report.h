#pragma once
#include <cstdint>
#include <string>

#include "driver/run_settings.h"

// Seconds with exactly six decimals, '.' as the decimal point whatever the
// runtime locale: 1,234 microseconds give "0.001234".
std::wstring FormatSeconds(double seconds);

// `value` in fixed-point notation with `decimals` digits after the '.', rounded,
// whatever the runtime locale.
std::wstring FormatFixed(double value, int decimals);

// Logs the four result lines, one per test, in the order the tests ran.
void LogResultLines(const TestDurations& durations);
