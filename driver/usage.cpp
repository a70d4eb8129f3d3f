#include "driver/usage.h"

#include <cstdio>
#include <string>
#include <vector>

#include <boost/algorithm/string/replace.hpp>

#include "core/text_format.h"
#include "driver/build_info.h"
#include "driver/options.h"
#include "driver/version_info.h"
#include "logging/logger_lifecycle.h"

namespace {

// Where the text of an option row starts.
constexpr std::size_t kOptionSyntaxWidth = 19;

// The option rows, from the option table.
std::vector<std::wstring> OptionRows() {
    std::vector<std::wstring> rows;
    for (const OptionInfo& option : kOptions) {
        for (const OptionInfo::UsageRow& row : option.usage) {
            if (row.syntax == nullptr)
                continue;
            std::wstring text = row.text;
            boost::algorithm::replace_all(text, L"{range}", RangeText(option));
            rows.push_back(LeftAligned(row.syntax, kOptionSyntaxWidth) + text + L"\n");
        }
    }
    return rows;
}

} // namespace

void PrintUsage() {
    // Printed directly, so what was logged before (the banner) must be on the
    // console first.
    DrainLogger();
    const std::wstring versionLine = L"Version:   " + GetVersionInfoString(L"FileVersion") + L"\n";
    const std::wstring homepageLine = std::wstring(L"Homepage:  ") + kHomepage + L"\n";
    const std::wstring rightsLine = std::wstring(L"Copyright (c) ") + kAuthor + L"\n";
    std::vector<std::wstring> rows = {
        L"Times the duration of file IO operations against a local or remote target\n",
        L"\n",
        homepageLine,
        versionLine,
        rightsLine,
        L"\n",
        L"Syntax:\n",
        L"=======\n",
        L"\n",
        L"Quillmarsh [-help] -target <UNC path> [-iterations <number>]\n",
        L"           [-clients <number>[,<number>...]] [-runs <number>] [-label <text>]\n",
        L"           [-latency] [-json <file>] [-csv <file>] [-html <file>]\n",
        L"Quillmarsh -compare <baseline.json> <other.json> [more.json ...] [-json <file>] [-html <file>]\n",
        L"\n",
        L"Options:\n",
        L"========\n",
    };
    for (std::wstring& row : OptionRows())
        rows.push_back(std::move(row));
    for (const wchar_t* row : {
             L"\n",
             L"Notes:\n",
             L"======\n",
             L"The default number of iterations is 1,000.\n",
             L"Each generated file name is unique.\n",
             L"Turn off antivirus unless you want to test AV performance.\n",
             L"\n",
             L"Explanation of the tests:\n",
             L"======\n",
             L"Write with custom function:\n",
             L"   Creates the file and writes <iteration> lines opening and closing the handle for each "
             L"line\n",
             L"ReadPrivateProfileString:\n",
             L"   Calls the GetPrivateProfileString API to read <iteration> lines individually\n",
             L"Read with custom function:\n",
             L"   Opens the file once and reads <interation> lines individually\n",
             L"Create/delete loop:\n",
             L"   Creates the file, writes one line, deletes the file. This happens <iteration> times\n",
             L"\n",
         })
        rows.emplace_back(row);
    for (const std::wstring& row : rows)
        std::fputws(row.c_str(), stdout); // never a format: a '%' in the version prints as itself
    std::fflush(stdout);
}
