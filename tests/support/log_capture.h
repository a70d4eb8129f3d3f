#pragma once
#include <string>
#include <vector>

#include "support/temp_dir.h"

// Runs the real logger for the life of the object with a log file of its own
// as the only sink, every level let through and the lines reduced to
// "LEVEL,Category,message", so that a test sees exactly what was logged.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Every line logged so far (without its "\r\n"), decoded from UTF-8. Drains
    // the writer thread first.
    std::vector<std::wstring> Lines();

private:
    void Start();
    TempDir dir_;
    std::wstring file_;
};

// A message as the log file shows it: carriage returns and line feeds removed.
std::wstring Flat(std::wstring text);
