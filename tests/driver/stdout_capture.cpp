#include "stdout_capture.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

StdoutCapture::StdoutCapture() : file_(dir_.File(L"stdout.txt")) {
    std::fflush(stdout);
    const int fd = _wopen(file_.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_TEXT, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return;
    savedFd_ = _dup(_fileno(stdout));
    _dup2(fd, _fileno(stdout));
    _close(fd);
}

StdoutCapture::~StdoutCapture() {
    Restore();
}

void StdoutCapture::Restore() {
    if (savedFd_ < 0)
        return;
    std::fflush(stdout);
    _dup2(savedFd_, _fileno(stdout));
    _close(savedFd_);
    savedFd_ = -1;
}

std::string StdoutCapture::Text() {
    std::fflush(stdout);
    std::string text = ReadBytes(file_);
    std::erase(text, '\r');
    return text;
}
