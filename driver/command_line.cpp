#include "driver/command_line.h"

#include <algorithm>
#include <cwctype>

#include <boost/algorithm/string/predicate.hpp>

#include "driver/usage.h"
#include "driver/uuid_text.h"
#include "errors/error_text.h"
#include "fsutil/full_path.h"
#include "fsutil/result_file.h"
#include "logging/logger.h"
#include "results/csv_sheet.h"

namespace {

bool IsOption(const std::wstring& argument, const wchar_t* option) {
    return boost::algorithm::iequals(argument, option); // classic locale: ASCII letters fold
}

bool IsHelp(const std::wstring& argument) {
    return IsOption(argument, L"-help") || IsOption(argument, L"-?") || IsOption(argument, L"/help") ||
           IsOption(argument, L"/?");
}

// Every option the command line knows, in any case.
bool IsAnyOption(const std::wstring& argument) {
    for (const wchar_t* option : {L"-target", L"-iterations", L"-clients", L"-runs", L"-label", L"-latency",
                                  L"-json", L"-csv", L"-html", L"-compare"}) {
        if (IsOption(argument, option))
            return true;
    }
    return IsHelp(argument);
}

Win32Error Fail(const std::wstring& message) {
    LogMessage(LogLevel::ERROR, L"ProcessCmdLine", message);
    return win32::kInvalidParameter;
}

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

// A result file must be writable and must lie outside the target, whose files
// the run creates and deletes: 0, or the logged error's 87. A JSON document is
// replaced whole, a CSV sheet appended to.
Win32Error CheckResultFile(const std::wstring& path, bool replacedWhole, const std::wstring& targetFolder) {
    if (!targetFolder.empty() && IsInFolder(path, targetFolder))
        return Fail(L"The result file <" + path + L"> lies in the target <" + targetFolder +
                    L">: results are never written there");
    const Win32Error code = CheckWritable(path, replacedWhole);
    if (code == win32::kPathNotFound)
        return Fail(L"The folder of the result file <" + path + L"> does not exist");
    if (code != 0)
        return Fail(L"The result file <" + path + L"> cannot be written: " + GetErrorText(code));
    return 0;
}

// A CSV sheet gets rows under this version's header only: rows appended under
// another header (an older version's, another program's) would not match its
// columns.
Win32Error CheckCsvHeader(const std::wstring& path) {
    const std::string header = CsvHeader();
    std::string start;
    if (const Win32Error code = ReadFileStart(path, header.size(), start))
        return Fail(L"The result file <" + path + L"> cannot be read: " + GetErrorText(code));
    if (!start.empty() && start != header)
        return Fail(
            L"The CSV sheet <" + path +
            L"> has a header other than this version's: its rows would not match it (start a new sheet)");
    return 0;
}

// Each result file is a file of its own: two options that name one file would
// overwrite each other's results.
Win32Error CheckDistinctResultFiles(const RunSettings& settings) {
    const std::pair<const wchar_t*, const std::wstring*> files[] = {
        {L"-json", &settings.jsonPath}, {L"-csv", &settings.csvPath}, {L"-html", &settings.htmlPath}};
    for (std::size_t a = 0; a < std::size(files); ++a) {
        for (std::size_t b = a + 1; b < std::size(files); ++b) {
            if (!files[a].second->empty() && IsSameFile(*files[a].second, *files[b].second))
                return Fail(std::wstring(files[a].first) + L" and " + files[b].first +
                            L" name the same file <" + *files[a].second + L">");
        }
    }
    return 0;
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
// rely on; the user hears of what was ignored. The run goes on.
void WarnEndIgnored(const wchar_t* name, const std::wstring& value, std::int32_t count) {
    LogMessage(LogLevel::WARN, L"ProcessCmdLine",
               std::wstring(name) + L" <" + value + L"> is read as " + std::to_wstring(count) +
                   L": the characters after the digits are ignored");
}

// A sweep's list of client counts ("1,2,4,8"): each a whole number from 1 to
// kMaxClients, ascending. False for anything else.
bool ReadClientSweep(const std::wstring& value, std::vector<std::uint32_t>& counts) {
    counts.clear();
    std::size_t from = 0;
    while (from <= value.size()) {
        const std::size_t comma = std::min(value.find(L',', from), value.size());
        const std::wstring item = value.substr(from, comma - from);
        std::int32_t count = 0;
        bool endIgnored = false;
        if (!ReadCount(item, count, endIgnored) || endIgnored || count < 1 ||
            count > static_cast<std::int32_t>(kMaxClients) ||
            (!counts.empty() && static_cast<std::uint32_t>(count) <= counts.back()))
            return false;
        counts.push_back(static_cast<std::uint32_t>(count));
        from = comma + 1;
    }
    return true;
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

Win32Error ProcessCmdLine(int argc, const wchar_t* const* argv, RunSettings& settings, bool& runTests) {
    runTests = false;
    if (argv == nullptr)
        return win32::kInvalidParameter;
    if (argc == 1) {
        PrintUsage();
        return 0;
    }
    settings.iterations = 0;
    settings.clients = 1;
    settings.runs = 1;
    std::wstring notWithCompare; // the first option that -compare does not combine with
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (IsHelp(argument)) {
            PrintUsage();
            return 0;
        }
        if (IsOption(argument, L"-compare")) {
            // The documents: every argument up to the next option.
            settings.compareFiles.clear();
            while (i + 1 < argc && !IsAnyOption(argv[i + 1]))
                settings.compareFiles.push_back(argv[++i]);
            if (settings.compareFiles.size() < 2)
                return Fail(L"-compare needs a baseline document and at least one more to compare with it");
            continue;
        }
        const bool isJson = IsOption(argument, L"-json");
        const bool isHtml = IsOption(argument, L"-html");
        if (!isJson && !isHtml && notWithCompare.empty())
            notWithCompare = argument;
        if (IsOption(argument, L"-latency")) {
            settings.latency = true;
            continue;
        }
        std::wstring* const resultFile = isJson                        ? &settings.jsonPath
                                         : isHtml                      ? &settings.htmlPath
                                         : IsOption(argument, L"-csv") ? &settings.csvPath
                                                                       : nullptr;
        const bool isTarget = IsOption(argument, L"-target");
        const bool isLabel = IsOption(argument, L"-label");
        const bool isClients = IsOption(argument, L"-clients");
        const bool isRuns = IsOption(argument, L"-runs");
        if (!isTarget && resultFile == nullptr && !isLabel && !isClients && !isRuns &&
            !IsOption(argument, L"-iterations"))
            return Fail(L"Unknown parameter <" + argument + L">");
        if (i == argc - 1 || (resultFile != nullptr && argv[i + 1][0] == L'\0'))
            return Fail(L"Missing argument missing for parameter '" + argument + L"'");
        const std::wstring value = argv[++i];
        // "-json -latency" is almost surely a forgotten file name, not a file
        // to be called "-latency"; so is "-label -runs" a forgotten label.
        if (resultFile != nullptr && IsAnyOption(value))
            return Fail(L"The file name after '" + argument + L"' is missing: <" + value + L"> is an option");
        if (isLabel && IsAnyOption(value))
            return Fail(L"The label after '" + argument + L"' is missing: <" + value + L"> is an option");
        if (isTarget) {
            settings.target = value;
            continue;
        }
        if (isLabel) {
            if (std::any_of(value.begin(), value.end(), [](wchar_t c) { return c < L' '; }))
                return Fail(L"The label <" + value + L"> holds a control character");
            settings.label = value;
            continue;
        }
        if (resultFile != nullptr) {
            *resultFile = value;
            continue;
        }
        std::int32_t count = 0;
        bool endIgnored = false;
        if (isClients && value.find(L',') != std::wstring::npos) {
            if (!ReadClientSweep(value, settings.clientSweep))
                return Fail(L"Clients <" + value + L"> must be an ascending list of numbers from 1 to " +
                            std::to_wstring(kMaxClients));
            settings.clients = settings.clientSweep.front();
            continue;
        }
        if (isClients || isRuns) {
            const wchar_t* const name = isClients ? L"Clients" : L"Runs";
            const std::uint32_t most = isClients ? kMaxClients : kMaxRuns;
            if (!ReadCount(value, count, endIgnored) || count < 1 || count > static_cast<std::int32_t>(most))
                return Fail(std::wstring(name) + L" <" + value + L"> must be a number from 1 to " +
                            std::to_wstring(most));
            if (endIgnored)
                WarnEndIgnored(name, value, count);
            (isClients ? settings.clients : settings.runs) = static_cast<std::uint32_t>(count);
            if (isClients)
                settings.clientSweep.clear(); // the last -clients counts
            continue;
        }
        if (!ReadCount(value, count, endIgnored))
            return Fail(L"Iteration <" + value + L"> does not seem to be a number");
        // A negative count would wrap to more than two billion passes.
        if (count < 0)
            return Fail(L"Iteration <" + value + L"> must not be negative");
        if (endIgnored)
            WarnEndIgnored(L"Iteration", value, count);
        settings.iterations = static_cast<std::uint32_t>(count);
    }
    if (!settings.compareFiles.empty()) {
        // A comparison runs no test: it reads documents and may write one.
        if (!notWithCompare.empty())
            return Fail(L"-compare combines with -json <file> and -html <file> only, not with <" +
                        notWithCompare + L">");
        for (std::wstring* resultFile : {&settings.jsonPath, &settings.htmlPath}) {
            if (resultFile->empty())
                continue;
            *resultFile = GetFullPath(*resultFile);
            if (const Win32Error code = CheckResultFile(*resultFile, true, L""))
                return code;
        }
        return CheckDistinctResultFiles(settings);
    }
    if (settings.target.empty())
        return Fail(L"No target specified!");
    if (settings.iterations == 0)
        settings.iterations = 1000;
    // The plain and the \\?\ form of a path name the same file only when the
    // path is already normalised (the system does not normalise the long form),
    // so the test file is named from the target's full path.
    const std::wstring folder = GetFullPath(settings.target);
    for (std::wstring* resultFile : {&settings.jsonPath, &settings.htmlPath, &settings.csvPath}) {
        if (resultFile->empty())
            continue;
        *resultFile = GetFullPath(*resultFile);
        if (const Win32Error code = CheckResultFile(*resultFile, resultFile != &settings.csvPath, folder))
            return code;
        if (resultFile == &settings.csvPath)
            if (const Win32Error code = CheckCsvHeader(*resultFile))
                return code;
    }
    if (const Win32Error code = CheckDistinctResultFiles(settings))
        return code;
    // Exactly one backslash goes between directory and file name.
    settings.testFilePath = folder;
    if (settings.testFilePath.back() != L'\\')
        settings.testFilePath += L'\\';
    settings.testFilePath += GetUuidString(CreateUuid());
    runTests = true;
    return 0;
}
