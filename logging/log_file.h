#pragma once
// The log file beside the executable: naming, the per-line append with its size
// check, and rotation to time-stamped copies with clean-up of the oldest.
#include <string>

// Opens the log file anew, rotates it when it has grown past the limit, appends
// `line` as UTF-8 and closes it. Failures lose the line silently. Called by the
// writer thread under the logger's lock.
void AppendToLogFile(const std::wstring& line);

// Closes `handle`, moves the full log file aside to
// <path without extension>.<local stamp>.<extension>, opens a fresh log file
// and, when more than 4 copies exist, deletes all but the 3 newest. Returns the
// fresh file's handle or INVALID_HANDLE_VALUE.
void* RotateLogFile(void* handle, const std::wstring& path);

// Sets the logger's log file path to LogFilePathFor(GetModulePath()), unless
// one is already set.
void SetDefaultLogFilePath();

// The log file of the executable at `modulePath`: that path + ".log", or
// "Emergency.log" (in the current directory) when the path is empty.
std::wstring LogFilePathFor(const std::wstring& modulePath);

// The event source of the executable at `modulePath`: its file name without
// extension, or "DefaultEventSource" when the path is empty.
std::wstring EventSourceNameFor(const std::wstring& modulePath);

// Full path of the running executable, or empty.
std::wstring GetModulePath();

// Full path of the loaded module `module` (nullptr: the executable), read whole
// however long it is; empty on failure.
std::wstring GetModuleFilePath(void* module);
