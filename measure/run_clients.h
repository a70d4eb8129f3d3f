#pragma once
// The timed part of a run: the four tests on every client at once.
#include "core/run_settings.h"
#include "errors/win32_error.h"
#include "core/run_record.h"

// Runs the four tests, in order, on settings.clients clients, each a thread of
// its own with its own test file (the first client's is
// settings.testFilePath, the others get UUID names of their own beside it).
// All clients start each test together: each waits for the others right before
// its stopwatch starts. The first failure ends the test in progress for all
// (the others stop at their next iteration boundary, as on a stop request) and
// no later test starts. Every client deletes its test file when it is done.
//
// Fills record.completedTests, record.durations (with one client its own
// times; with more each test's wall time, from the common start to the end of
// the last client), record.clients and, with settings.latency, each client's
// phase times. Returns the first failure's code, else 1223 after a stop
// request, else 0.
Win32Error RunClients(const RunSettings& settings, RunRecord& record);
