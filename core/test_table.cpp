#include "core/test_table.h"

namespace {

constexpr const wchar_t* kWritePhases[] = {L"open", L"write", L"close"};
constexpr const wchar_t* kProfileReadPhases[] = {L"call"};
constexpr const wchar_t* kCustomReadPhases[] = {L"open", L"read lines", L"close"};
constexpr const wchar_t* kCreateDeletePhases[] = {L"create", L"write", L"close", L"delete"};

} // namespace

const TestInfo kTests[kTestCount] = {
    {L"Write with custom function", L"Write with custom function (s): ", "write", L"WriteCustomFunction",
     nullptr, &TestDurations::writeCustomFunction, kWritePhases, std::size(kWritePhases)},
    {L"ReadPrivateProfileString", L"ReadPrivateProfileString (s):   ", "profile_read",
     L"ReadPrivateProfileString", L"Starting GetPrivateProfileString read loop...",
     &TestDurations::readPrivateProfileString, kProfileReadPhases, std::size(kProfileReadPhases)},
    {L"Read with custom function", L"Read with custom function (s):  ", "custom_read", L"ReadCustomFunction",
     L"Starting custom read loop...", &TestDurations::readCustomFunction, kCustomReadPhases,
     std::size(kCustomReadPhases)},
    {L"Create/delete loop", L"Create/delete loop (s):         ", "create_delete", L"CreateDeleteLoop",
     L"Starting create/delete test...", &TestDurations::createDeleteLoop, kCreateDeletePhases,
     std::size(kCreateDeletePhases)},
};
