#pragma once
#include "core/run_settings.h"

// Logs the four result lines, one per test, in the order the tests ran.
void LogResultLines(const TestDurations& durations);
