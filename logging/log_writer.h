#pragma once
// The writer thread: takes entries off the queue in order and writes each to
// the console, the log file and the event log, under the logger's lock.
#include <cstdint>
#include <cstdio>
#include <string>

#include "logging/logger.h"

// Thread start routine; `logger` is the Logger. Runs RunLogWriter, then ends
// the thread through the runtime library.
unsigned __stdcall StartLoggerThreadProc(void* logger);

// Processes entries until it takes a stop entry.
void RunLogWriter(Logger& logger);

// Writes `message` and a line break to `stream` in the console's character set
// (the runtime locale's), with '?' for a character that set cannot show.
void WriteConsoleLine(std::FILE* stream, const std::wstring& message);

// How the event-log sink hands over one event; replaceable so that tests can
// see what would be reported (Wine's event log accepts and drops everything).
using EventReporter = void (*)(void* eventSource, std::uint16_t type, std::uint32_t eventId,
                               const std::wstring& text);
void SetEventReporter(EventReporter reporter);
