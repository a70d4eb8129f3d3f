#pragma once
// The four timed tests of a run. Each reads the run settings, times its loop
// with a Stopwatch, stores the duration in its slot and returns a Win32 code.
#include "driver/run_settings.h"
#include "errors/win32_error.h"

class FileIoTests {
public:
    RunSettings settings;
    TestDurations durations;

    // Creates the test file with its section header, then (timed) appends one
    // "Key<i>=Value<i>" line per iteration, opening and closing it each time.
    Win32Error WriteCustomFunction();
    // (timed) Reads every key back through GetPrivateProfileStringW.
    Win32Error ReadPrivateProfileString();
    // (timed) Per iteration i opens the file and reads its top i + 1 lines.
    Win32Error ReadCustomFunction();
    // (timed) Per iteration creates testFilePath + i, writes a line, closes and
    // deletes it.
    Win32Error CreateDeleteLoop();
};
