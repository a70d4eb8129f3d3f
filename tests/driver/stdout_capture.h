#pragma once
#include <string>

#include "support/temp_dir.h"

// Sends everything the process writes to standard output into a file of its
// own for the life of the object, so that a test can see what was printed.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // What was written so far, carriage returns removed.
    std::string Text();

private:
    void Restore();
    TempDir dir_;
    std::wstring file_;
    int savedFd_ = -1;
};
