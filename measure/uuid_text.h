#pragma once
#include <array>
#include <string>

using UuidBytes = std::array<unsigned char, 16>;

// A fresh UUID (all zeros if the system cannot make one).
UuidBytes CreateUuid();

// The UUID as 36 lowercase hex digits grouped 8-4-4-4-12; empty on failure.
std::wstring GetUuidString(const UuidBytes& uuid);
