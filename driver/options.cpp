#include "driver/options.h"

#include <boost/algorithm/string/predicate.hpp>

const OptionInfo kOptions[kOptionCount] = {
    {L"-target", OptionKind::Target, nullptr, false, 0, 0, {}},
    {L"-iterations", OptionKind::Iterations, nullptr, false, 0, 0, {}},
    {L"-clients",
     OptionKind::Clients,
     nullptr,
     false,
     1,
     kMaxClients,
     {{L"-clients <number>",
       L"Runs the tests on that many clients at once ({range}, default 1), each on its own file"},
      {L"-clients 1,2,4,8",
       L"Runs the tests once per number of clients (ascending) and shows how they scale"}}},
    {L"-runs",
     OptionKind::Runs,
     nullptr,
     false,
     1,
     kMaxRuns,
     {{L"-runs <number>", L"Repeats the four tests that many times ({range}, default 1) and sums them up"}}},
    {L"-label",
     OptionKind::Label,
     nullptr,
     false,
     0,
     0,
     {{L"-label <text>", L"Names the run in the console, the result files and comparisons"}}},
    {L"-latency",
     OptionKind::Latency,
     nullptr,
     false,
     0,
     0,
     {{L"-latency", L"Also times every phase of every pass and prints their percentiles"}}},
    {L"-json",
     OptionKind::ResultFile,
     &RunSettings::jsonPath,
     true,
     0,
     0,
     {{L"-json <file>", L"Writes the run's results to a JSON document, replacing it whole"}}},
    {L"-csv",
     OptionKind::ResultFile,
     &RunSettings::csvPath,
     false,
     0,
     0,
     {{L"-csv <file>", L"Appends a row with the run's results to a CSV sheet"}}},
    {L"-html",
     OptionKind::ResultFile,
     &RunSettings::htmlPath,
     true,
     0,
     0,
     {{L"-html <file>", L"Writes a report page with tables and charts to an HTML file, replacing it whole"}}},
    {L"-compare",
     OptionKind::Compare,
     nullptr,
     true,
     0,
     0,
     {{L"-compare",
       L"Runs no test: compares result documents with the first and says which changes are real"}}},
};

const wchar_t* const kHelpOptions[4] = {L"-help", L"-?", L"/help", L"/?"};

namespace {

bool Matches(const std::wstring& argument, const wchar_t* name) {
    return boost::algorithm::iequals(argument, name); // classic locale: ASCII letters fold
}

} // namespace

const OptionInfo* FindOption(const std::wstring& argument) {
    for (const OptionInfo& option : kOptions) {
        if (Matches(argument, option.name))
            return &option;
    }
    return nullptr;
}

bool IsHelpOption(const std::wstring& argument) {
    for (const wchar_t* help : kHelpOptions) {
        if (Matches(argument, help))
            return true;
    }
    return false;
}

bool IsAnyOption(const std::wstring& argument) {
    return FindOption(argument) != nullptr || IsHelpOption(argument);
}

std::wstring RangeText(const OptionInfo& option) {
    return std::to_wstring(option.least) + L" to " + std::to_wstring(option.most);
}
