#pragma once
#include "errors/win32_error.h"

// Names the log file, registers the event source and starts the writer thread;
// from then on LogMessage queues entries. 0 on success or when already running.
Win32Error StartLogger();

// Queues a stop request behind every entry logged so far and waits up to
// 15 seconds for the writer thread to write them and end; then releases the
// thread handle and the event source.
void StopLogger();

// Waits until the writer has written every entry logged so far, at most 15
// seconds; returns at once when no writer runs. For text printed past the
// logger (the usage text), so that it follows what was logged before it.
void DrainLogger();
