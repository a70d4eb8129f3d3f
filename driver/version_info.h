#pragma once
#include <cstdint>
#include <string>

// The value `name` (such as "FileVersion") of this executable's version
// resource, every ", " replaced by "."; empty when resource or value is missing.
std::wstring GetVersionInfoString(const std::wstring& name);

// The same lookup on version resource `resourceId` of `module` (null: this
// executable), with `userLanguage` standing in for the user's default language
// when the resource lists no translation.
std::wstring GetVersionInfoStringFrom(void* module, unsigned resourceId, const std::wstring& name,
                                      std::uint16_t userLanguage);
