#pragma once
// A live status line on standard error, for a person watching an interactive
// console: drawn below everything the logger has written, and erased before
// the logger writes the next entry and when it is no longer wanted. Drawing
// and erasing happen under the logger's lock, the lock the writer thread holds
// while it writes an entry, so a logged line is never split or overdrawn.
// Nothing here takes the queue's mutex.
#include <string>

// True when standard error is an interactive console (not a pipe or a file):
// only then may a status line be shown.
bool StandardErrorIsConsole();

// Shows `text` as the status line, in place of the one shown.
void ShowStatusLine(const std::wstring& text);

// Erases the status line, if one is shown.
void ClearStatusLine();

// For the console sink, which already holds the logger's lock: erases the
// status line before an entry is written.
void EraseStatusLineUnderLoggerLock();
