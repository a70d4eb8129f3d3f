#pragma once
// The options of the command line, one row each: the parser, the usage text's
// option rows and the checks of result files all read this table.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/run_settings.h"

enum class OptionKind { Target, Iterations, Clients, Runs, Label, Latency, ResultFile, Compare };

struct OptionInfo {
    const wchar_t* name; // matched case-insensitively as a whole argument
    OptionKind kind;
    // A result file's path in the settings; none for other options.
    std::wstring RunSettings::*file;
    bool withCompare; // may stand beside -compare
    // A count's range; 0 to 0 for other options.
    std::uint32_t least, most;
    // The option's rows in the usage text, its syntax and what it does (in
    // which "{range}" stands for "<least> to <most>"); none for the options of
    // the syntax line alone.
    struct UsageRow {
        const wchar_t* syntax;
        const wchar_t* text;
    } usage[2];
};

inline constexpr std::size_t kOptionCount = 10;
extern const OptionInfo kOptions[kOptionCount];

// The help options, which print the usage text.
extern const wchar_t* const kHelpOptions[4];

// The row of `argument`, or none.
const OptionInfo* FindOption(const std::wstring& argument);

bool IsHelpOption(const std::wstring& argument);

// Whether `argument` is any option the command line knows, help included.
bool IsAnyOption(const std::wstring& argument);

// "1 to 256": an option's range as the usage text and the messages say it.
std::wstring RangeText(const OptionInfo& option);
