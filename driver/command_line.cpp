#include "driver/command_line.h"

#include <algorithm>
#include <cwctype>

#include "driver/options.h"
#include "driver/usage.h"
#include "fsutil/full_path.h"
#include "logging/logger.h"
#include "measure/uuid_text.h"
#include "results/result_files.h"

namespace {

// The digit zero of every run of ten decimal digits (Unicode category Nd) in
// the Basic Multilingual Plane, ascending. The runtime's own base-10 conversion
// reads all of them as digits: full-width U+FF11 U+FF12 is 12.
constexpr char16_t kDigitZeros[] = {
    0x0030, 0x0660, 0x06F0, 0x07C0, 0x0966, 0x09E6, 0x0A66, 0x0AE6, 0x0B66, 0x0BE6, 0x0C66, 0x0CE6, 0x0D66,
    0x0DE6, 0x0E50, 0x0ED0, 0x0F20, 0x1040, 0x1090, 0x17E0, 0x1810, 0x1946, 0x19D0, 0x1A80, 0x1A90, 0x1B50,
    0x1BB0, 0x1C40, 0x1C50, 0xA620, 0xA8D0, 0xA900, 0xA9D0, 0xA9F0, 0xAA50, 0xABF0, 0xFF10,
};

// The value 0 to 9 of a decimal digit of any script, or -1.
int DigitValue(wchar_t c) {
    for (const char16_t zero : kDigitZeros) {
        if (c < zero)
            return -1;
        if (c < zero + 10)
            return c - zero;
    }
    return -1;
}

// Reads a count option's value by the number rule, and tells whether
// characters after its digits were ignored ("1,000" is 1). False when no
// number could be read.
bool ReadCount(const std::wstring& value, std::int32_t& count, bool& endIgnored) {
    std::size_t used = 0;
    if (!ParseInt32(value, count, &used))
        return false;
    endIgnored = !std::all_of(value.begin() + used, value.end(), [](wchar_t c) { return std::iswspace(c); });
    return true;
}

// The number ends at the first character that is not a digit, as scripts may
// rely on; the user hears of what was ignored (a warning). The run goes on.
std::wstring EndIgnored(const wchar_t* name, const std::wstring& value, std::int32_t count) {
    return std::wstring(name) + L" <" + value + L"> is read as " + std::to_wstring(count) +
           L": the characters after the digits are ignored";
}

// A sweep's list of client counts ("1,2,4,8"): each a whole number in the
// option's range, ascending. False for anything else.
bool ReadClientSweep(const std::wstring& value, const OptionInfo& option,
                     std::vector<std::uint32_t>& counts) {
    counts.clear();
    std::size_t from = 0;
    while (from <= value.size()) {
        const std::size_t comma = std::min(value.find(L',', from), value.size());
        const std::wstring item = value.substr(from, comma - from);
        std::int32_t count = 0;
        bool endIgnored = false;
        if (!ReadCount(item, count, endIgnored) || endIgnored ||
            count < static_cast<std::int32_t>(option.least) ||
            count > static_cast<std::int32_t>(option.most) ||
            (!counts.empty() && static_cast<std::uint32_t>(count) <= counts.back()))
            return false;
        counts.push_back(static_cast<std::uint32_t>(count));
        from = comma + 1;
    }
    return true;
}

// A count option's value: a number from option.least to option.most; warns
// of characters it ignored. Empty, or the error.
std::wstring ReadRangedCount(const OptionInfo& option, const wchar_t* name, const std::wstring& value,
                             std::uint32_t& result, std::vector<std::wstring>& warnings) {
    std::int32_t count = 0;
    bool endIgnored = false;
    if (!ReadCount(value, count, endIgnored) || count < static_cast<std::int32_t>(option.least) ||
        count > static_cast<std::int32_t>(option.most))
        return std::wstring(name) + L" <" + value + L"> must be a number from " + RangeText(option);
    if (endIgnored)
        warnings.push_back(EndIgnored(name, value, count));
    result = static_cast<std::uint32_t>(count);
    return {};
}

// Applies one option with its value to `settings`: empty, or the error.
std::wstring Apply(const OptionInfo& option, const std::wstring& value, RunSettings& settings,
                   std::vector<std::wstring>& warnings) {
    switch (option.kind) {
    case OptionKind::Target:
        settings.target = value;
        return {};
    case OptionKind::Label:
        if (std::any_of(value.begin(), value.end(), [](wchar_t c) { return c < L' '; }))
            return L"The label <" + value + L"> holds a control character";
        settings.label = value;
        return {};
    case OptionKind::ResultFile:
        settings.*option.file = value;
        return {};
    case OptionKind::Clients:
        if (value.find(L',') != std::wstring::npos) {
            if (!ReadClientSweep(value, option, settings.clientSweep))
                return L"Clients <" + value + L"> must be an ascending list of numbers from " +
                       RangeText(option);
            settings.clients = settings.clientSweep.front();
            return {};
        }
        settings.clientSweep.clear(); // the last -clients counts
        return ReadRangedCount(option, L"Clients", value, settings.clients, warnings);
    case OptionKind::Runs:
        return ReadRangedCount(option, L"Runs", value, settings.runs, warnings);
    case OptionKind::Iterations: {
        std::int32_t count = 0;
        bool endIgnored = false;
        if (!ReadCount(value, count, endIgnored))
            return L"Iteration <" + value + L"> does not seem to be a number";
        // A negative count would wrap to more than two billion passes.
        if (count < 0)
            return L"Iteration <" + value + L"> must not be negative";
        if (endIgnored)
            warnings.push_back(EndIgnored(L"Iteration", value, count));
        settings.iterations = static_cast<std::uint32_t>(count);
        return {};
    }
    case OptionKind::Latency:
    case OptionKind::Compare:
        break; // no value: handled by the walk over the arguments
    }
    return {};
}

Win32Error Fail(const std::wstring& message) {
    LogMessage(LogLevel::ERROR, L"ProcessCmdLine", message);
    return win32::kInvalidParameter;
}

// Each result file is a file of its own: two options that name one file would
// overwrite each other's results.
std::wstring DistinctResultFiles(const RunSettings& settings) {
    for (std::size_t a = 0; a < kOptionCount; ++a) {
        for (std::size_t b = a + 1; b < kOptionCount; ++b) {
            if (kOptions[a].file == nullptr || kOptions[b].file == nullptr)
                continue;
            const std::wstring& first = settings.*kOptions[a].file;
            if (!first.empty() && IsSameFile(first, settings.*kOptions[b].file))
                return std::wstring(kOptions[a].name) + L" and " + kOptions[b].name +
                       L" name the same file <" + first + L">";
        }
    }
    return {};
}

// The result files the command line names, as full paths, checked before any
// test: each writable, outside the target folder (none for -compare), a CSV
// sheet's header this version's, no two the same file. Empty, or the error.
std::wstring CheckResultFiles(RunSettings& settings, const std::wstring& targetFolder) {
    for (const OptionInfo& option : kOptions) {
        if (option.file == nullptr || (settings.*option.file).empty())
            continue;
        std::wstring& path = settings.*option.file;
        path = GetFullPath(path);
        std::wstring error;
        const bool isCsv = option.file == &RunSettings::csvPath;
        if (CheckResultFile(path, !isCsv, targetFolder, error) != 0 ||
            (isCsv && CheckCsvHeader(path, error) != 0))
            return error;
    }
    return DistinctResultFiles(settings);
}

} // namespace

bool ParseInt32(const std::wstring& text, std::int32_t& value, std::size_t* used) {
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t magnitude = 0;
    std::size_t digits = 0;
    for (; i < text.size(); ++i, ++digits) {
        const int digit = DigitValue(text[i]);
        if (digit < 0)
            break;
        magnitude = magnitude * 10 + digit;
        if (magnitude > limit)
            return false;
    }
    if (digits == 0)
        return false;
    value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    if (used != nullptr)
        *used = i;
    return true;
}

CommandLine ParseArguments(int argc, const wchar_t* const* argv, RunSettings& settings) {
    CommandLine line;
    if (argc <= 1) {
        line.help = true;
        return line;
    }
    settings.iterations = 0;
    settings.clients = 1;
    settings.runs = 1;
    std::wstring notWithCompare; // the first option that -compare does not combine with
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (IsHelpOption(argument)) {
            line.help = true;
            return line;
        }
        const OptionInfo* const option = FindOption(argument);
        if (option == nullptr) {
            line.error = L"Unknown parameter <" + argument + L">";
            return line;
        }
        if (!option->withCompare && notWithCompare.empty())
            notWithCompare = argument;
        if (option->kind == OptionKind::Compare) {
            // The documents: every argument up to the next option.
            settings.compareFiles.clear();
            while (i + 1 < argc && !IsAnyOption(argv[i + 1]))
                settings.compareFiles.push_back(argv[++i]);
            if (settings.compareFiles.size() < 2) {
                line.error = L"-compare needs a baseline document and at least one more to compare with it";
                return line;
            }
            continue;
        }
        if (option->kind == OptionKind::Latency) {
            settings.latency = true;
            continue;
        }
        const bool isFile = option->kind == OptionKind::ResultFile;
        if (i == argc - 1 || (isFile && argv[i + 1][0] == L'\0')) {
            line.error = L"Missing argument missing for parameter '" + argument + L"'";
            return line;
        }
        const std::wstring value = argv[++i];
        // "-json -latency" is almost surely a forgotten file name, not a file
        // to be called "-latency"; so is "-label -runs" a forgotten label.
        if ((isFile || option->kind == OptionKind::Label) && IsAnyOption(value)) {
            line.error = std::wstring(isFile ? L"The file name" : L"The label") + L" after '" + argument +
                         L"' is missing: <" + value + L"> is an option";
            return line;
        }
        line.error = Apply(*option, value, settings, line.warnings);
        if (!line.error.empty())
            return line;
    }
    if (!settings.compareFiles.empty()) {
        // A comparison runs no test: it reads documents and may write one.
        if (!notWithCompare.empty())
            line.error = L"-compare combines with -json <file> and -html <file> only, not with <" +
                         notWithCompare + L">";
        return line;
    }
    if (settings.target.empty())
        line.error = L"No target specified!";
    else if (settings.iterations == 0)
        settings.iterations = 1000;
    return line;
}

Win32Error ProcessCmdLine(int argc, const wchar_t* const* argv, RunSettings& settings, bool& runTests) {
    runTests = false;
    if (argv == nullptr)
        return win32::kInvalidParameter;
    const CommandLine line = ParseArguments(argc, argv, settings);
    for (const std::wstring& warning : line.warnings)
        LogMessage(LogLevel::WARN, L"ProcessCmdLine", warning);
    if (line.help) {
        PrintUsage();
        return 0;
    }
    if (!line.error.empty())
        return Fail(line.error);
    if (!settings.compareFiles.empty()) {
        const std::wstring error = CheckResultFiles(settings, L"");
        return error.empty() ? 0 : Fail(error);
    }
    // The plain and the \\?\ form of a path name the same file only when the
    // path is already normalised (the system does not normalise the long form),
    // so the test file is named from the target's full path.
    const std::wstring folder = GetFullPath(settings.target);
    if (const std::wstring error = CheckResultFiles(settings, folder); !error.empty())
        return Fail(error);
    // Exactly one backslash goes between directory and file name.
    settings.testFilePath = folder;
    if (settings.testFilePath.back() != L'\\')
        settings.testFilePath += L'\\';
    settings.testFilePath += GetUuidString(CreateUuid());
    runTests = true;
    return 0;
}
