#pragma once
// Writing the run's result files (JSON and CSV), through the long-path form.
// Never used for the test file or the target.
#include <string>

#include "errors/win32_error.h"

// 0 when a file can be written at the full path `path`: an existing file opens
// for writing, and a new file can be made in its folder (tried with a file that
// is gone again at once) when there is none yet. When `replacedWhole` (a whole
// new content goes in through a file beside it), the folder is probed for what
// ReplaceFileContent does: a file of its own created, written, closed, put in
// the place of another and deleted. 3 when the folder does not exist;
// otherwise the system's code. Leaves everything as it was.
Win32Error CheckWritable(const std::wstring& path, bool replacedWhole);

// Makes `bytes` the whole content of `path`: written to a file of its own
// beside it, then put in its place, so that a reader finds the old file or the
// new one and never a part. Another process that holds either file for a
// moment (a share's client, a scanner) is waited for. On failure the old file
// stays as it was; when the new content was written whole but could not be put
// in place, it stays in its own file, whose path goes to `keptAt` (otherwise
// `keptAt` is empty).
// A temporary file that could not be deleted afterwards (the document is in
// place, or was never whole) is named in `leftBehind`, with the delete's code
// in `leftCode`.
Win32Error ReplaceFileContent(const std::wstring& path, const std::string& bytes, std::wstring& keptAt,
                              std::wstring& leftBehind, Win32Error& leftCode);

// Up to `count` bytes from the start of the file at `path` (fewer when it is
// shorter; none when it does not exist).
Win32Error ReadFileStart(const std::wstring& path, std::size_t count, std::string& bytes);

// The whole content of the file at `path`.
Win32Error ReadWholeFile(const std::wstring& path, std::string& bytes);

// Adds `row` at the end of `path`, which is created when missing; a file that
// was new or empty gets `header` first. A write the system takes only in part
// (no room) is cut back: the sheet never ends in a part of a row.
Win32Error AppendRow(const std::wstring& path, const std::string& header, const std::string& row);
