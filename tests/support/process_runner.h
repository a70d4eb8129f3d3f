#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ProcessResult {
    std::uint32_t exitCode = 0; // the full 32-bit code, unlike a Linux shell's view
    std::string out;            // standard output, carriage returns removed
    std::string err;            // standard error, carriage returns removed
    bool timedOut = false;
};

// Starts `program` with `arguments` (quoted for the Windows command line),
// standard input on NUL, in `currentDirectory` (empty: this process's), and
// collects both output streams until it ends.
ProcessResult RunProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                         unsigned timeoutMs = 120000, const std::wstring& currentDirectory = L"");

// A program that sits beside the running test program (same build folder).
std::wstring SiblingProgram(const std::wstring& fileName);
