#include "driver/usage.h"

#include <cstdio>
#include <string>

#include "driver/build_info.h"
#include "driver/version_info.h"
#include "logging/logger_lifecycle.h"

void PrintUsage() {
    // Printed directly, so what was logged before (the banner) must be on the
    // console first.
    DrainLogger();
    const std::wstring versionLine = L"Version:   " + GetVersionInfoString(L"FileVersion") + L"\n";
    const std::wstring homepageLine = std::wstring(L"Homepage:  ") + kHomepage + L"\n";
    const std::wstring rightsLine = std::wstring(L"Copyright (c) ") + kAuthor + L"\n";
    const wchar_t* const rows[] = {
        L"Times the duration of file IO operations against a local or remote target\n",
        L"\n",
        homepageLine.c_str(),
        versionLine.c_str(),
        rightsLine.c_str(),
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
        L"-clients <number>  Runs the tests on that many clients at once (1 to 256, default 1), each on its "
        L"own file\n",
        L"-clients 1,2,4,8   Runs the tests once per number of clients (ascending) and shows how they "
        L"scale\n",
        L"-runs <number>     Repeats the four tests that many times (1 to 1000, default 1) and sums them "
        L"up\n",
        L"-label <text>      Names the run in the console, the result files and comparisons\n",
        L"-latency           Also times every phase of every pass and prints their percentiles\n",
        L"-json <file>       Writes the run's results to a JSON document, replacing it whole\n",
        L"-csv <file>        Appends a row with the run's results to a CSV sheet\n",
        L"-html <file>       Writes a report page with tables and charts to an HTML file, replacing it "
        L"whole\n",
        L"-compare           Runs no test: compares result documents with the first and says which changes "
        L"are real\n",
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
        L"   Creates the file and writes <iteration> lines opening and closing the handle for each line\n",
        L"ReadPrivateProfileString:\n",
        L"   Calls the GetPrivateProfileString API to read <iteration> lines individually\n",
        L"Read with custom function:\n",
        L"   Opens the file once and reads <interation> lines individually\n",
        L"Create/delete loop:\n",
        L"   Creates the file, writes one line, deletes the file. This happens <iteration> times\n",
        L"\n",
    };
    for (const wchar_t* row : rows)
        std::fputws(row, stdout); // never a format: a '%' in the version prints as itself
    std::fflush(stdout);
}
