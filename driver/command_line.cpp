#include "driver/command_line.h"

#include <cwctype>

#include <boost/algorithm/string/predicate.hpp>

#include "driver/usage.h"
#include "driver/uuid_text.h"
#include "logging/logger.h"

namespace {

bool IsOption(const std::wstring& argument, const wchar_t* option) {
    return boost::algorithm::iequals(argument, option); // classic locale: ASCII letters fold
}

bool IsHelp(const std::wstring& argument) {
    return IsOption(argument, L"-help") || IsOption(argument, L"-?") || IsOption(argument, L"/help") ||
           IsOption(argument, L"/?");
}

Win32Error Fail(const std::wstring& message) {
    LogMessage(LogLevel::ERROR, L"ProcessCmdLine", message);
    return win32::kInvalidParameter;
}

} // namespace

bool ParseInt32(const std::wstring& text, std::int32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t magnitude = 0;
    std::size_t digits = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i, ++digits) {
        magnitude = magnitude * 10 + (text[i] - L'0');
        if (magnitude > limit)
            return false;
    }
    if (digits == 0)
        return false;
    value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return true;
}

Win32Error ProcessCmdLine(int argc, const wchar_t* const* argv, RunSettings& settings, bool& runTests) {
    runTests = false;
    if (argv == nullptr)
        return win32::kInvalidParameter;
    if (argc == 1) {
        PrintUsage();
        return 0;
    }
    settings.iterations = 0;
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (IsHelp(argument)) {
            PrintUsage();
            return 0;
        }
        const bool isTarget = IsOption(argument, L"-target");
        if (!isTarget && !IsOption(argument, L"-iterations"))
            return Fail(L"Unknown parameter <" + argument + L">");
        if (i == argc - 1)
            return Fail(L"Missing argument missing for parameter '" + argument + L"'");
        const std::wstring value = argv[++i];
        if (isTarget) {
            settings.target = value;
            continue;
        }
        std::int32_t count = 0;
        if (!ParseInt32(value, count))
            return Fail(L"Iteration <" + value + L"> does not seem to be a number");
        // A negative count would wrap to more than two billion passes.
        if (count < 0)
            return Fail(L"Iteration <" + value + L"> must not be negative");
        settings.iterations = static_cast<std::uint32_t>(count);
    }
    if (settings.target.empty())
        return Fail(L"No target specified!");
    if (settings.iterations == 0)
        settings.iterations = 1000;
    // Exactly one backslash between directory and file name: a doubled one is
    // not normalised inside a \\?\ path and would break every later file call.
    settings.testFilePath = settings.target;
    if (settings.testFilePath.back() != L'\\')
        settings.testFilePath += L'\\';
    settings.testFilePath += GetUuidString(CreateUuid());
    runTests = true;
    return 0;
}
