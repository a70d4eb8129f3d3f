#pragma once
// Win32 error codes as the tool passes them around: unsigned 32-bit, 0 for
// success. The named values are the ones the tool's own logic decides on; they
// are spelled out here so that code without <windows.h> can use them.
#include <cstdint>

using Win32Error = std::uint32_t;

namespace win32 {
constexpr Win32Error kSuccess = 0;
constexpr Win32Error kInvalidFunction = 1;
constexpr Win32Error kFileNotFound = 2;
constexpr Win32Error kPathNotFound = 3;
constexpr Win32Error kAccessDenied = 5;
constexpr Win32Error kOutOfMemory = 14;
constexpr Win32Error kSharingViolation = 32;
constexpr Win32Error kLockViolation = 33;
constexpr Win32Error kFileExists = 80;
constexpr Win32Error kInvalidParameter = 87;
constexpr Win32Error kDiskFull = 112;
constexpr Win32Error kAlreadyExists = 183;
constexpr Win32Error kNotFound = 1168;
constexpr Win32Error kCancelled = 1223;
constexpr Win32Error kNoBufferSpace = 10055; // WSAENOBUFS: the log queue's budget is spent

// The pair of "not there" codes that callers may declare harmless.
constexpr bool IsNotFound(Win32Error code) {
    return code == kFileNotFound || code == kPathNotFound;
}
} // namespace win32
