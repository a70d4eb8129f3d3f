#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <string>

#include "errors/errno_to_win32.h"
#include "errors/error_text.h"

namespace {

// The system table's own text for `code`, as FormatMessageW gives it (with its
// line end), or empty when the table has none.
std::wstring SystemTableText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
        code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", length);
    if (buffer)
        LocalFree(buffer);
    return text;
}

// The system text with its final line feed cut, as GetErrorText should give it.
std::wstring WithoutFinalLineFeed(DWORD code) {
    std::wstring text = SystemTableText(code);
    EXPECT_GE(text.size(), 2u) << "the system table has no text for " << code;
    EXPECT_EQ(text.substr(text.size() - 2), L"\r\n")
        << "system text for " << code << " does not end in CR LF";
    text.pop_back();
    return text;
}

bool ModuleLoads(const wchar_t* name) {
    HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module)
        FreeLibrary(module);
    return module != nullptr;
}

} // namespace

TEST(GetErrorText, SystemTextLosesItsLineFeedButKeepsItsCarriageReturn) {
    for (const DWORD code : {2u, 5u, 0x80070005u}) {
        const std::wstring text = GetErrorText(code);
        EXPECT_EQ(text, WithoutFinalLineFeed(code)) << "code " << code;
        ASSERT_FALSE(text.empty()) << "code " << code;
        EXPECT_EQ(text.back(), L'\r')
            << "the carriage return before the cut line feed must stay, code " << code;
    }
}

TEST(GetErrorText, ZeroStandsForTheThreadsLastError) {
    // Each text is taken right after SetLastError: any other system call
    // (FormatMessageW among them) may change the last error.
    SetLastError(0);
    const std::wstring success = GetErrorText(0);
    EXPECT_EQ(success, WithoutFinalLineFeed(0)) << "code 0 with last error 0 must give the success text";

    SetLastError(5);
    const std::wstring lastError = GetErrorText(0);
    EXPECT_EQ(lastError, GetErrorText(5)) << "code 0 must be replaced by the last error (5)";
}

struct AdsiCase {
    Win32Error code;
    const wchar_t* text;
};

void PrintTo(const AdsiCase& c, std::ostream* os) {
    *os << std::hex << "0x" << c.code;
}

class AdsiNames : public testing::TestWithParam<AdsiCase> {};

TEST_P(AdsiNames, ComeFromTheNameTableAloneWithoutAskingTheSystem) {
    const AdsiCase& c = GetParam();
    // FormatMessageW sets the last error when it finds no text; a code that is
    // answered from the name table alone must leave the last error as it was.
    SetLastError(1234);
    const std::wstring text = GetErrorText(c.code);
    const DWORD lastError = GetLastError();
    EXPECT_EQ(text, c.text) << std::hex << "code 0x" << c.code;
    EXPECT_EQ(lastError, 1234u) << std::hex << "the system table was consulted for code 0x" << c.code;
}

INSTANTIATE_TEST_SUITE_P(Codes, AdsiNames,
                         testing::Values(AdsiCase{0x80005000u, L"E_ADS_BAD_PATHNAME"},
                                         AdsiCase{0x80005008u, L"E_ADS_BAD_PARAMETER"},
                                         AdsiCase{0x8000500Au, L"E_ADS_PROPERTY_NOT_MODIFIED"},
                                         AdsiCase{0x80005010u, L"E_ADS_COLUMN_NOT_SET"},
                                         AdsiCase{0x80005014u, L"E_ADS_INVALID_FILTER"},
                                         // Gaps in the table and codes that only share its bits: empty.
                                         AdsiCase{0x80005011u, L""}, AdsiCase{0x80005013u, L""},
                                         AdsiCase{0x80005015u, L""}, AdsiCase{0x80075000u, L""},
                                         AdsiCase{0x8000FFFFu, L""}));

TEST(GetErrorText, NonAdsiCodesAskTheSystem) {
    // The control for the ADSI test above: an unknown code that is no ADSI code
    // goes to FormatMessageW, which sets the last error.
    SetLastError(1234);
    const std::wstring text = GetErrorText(0xFFFFu);
    const DWORD lastError = GetLastError();
    EXPECT_EQ(text, L"") << "no table knows 0xFFFF";
    EXPECT_NE(lastError, 1234u) << "0xFFFF was never looked up in the system table";

    EXPECT_EQ(GetErrorText(0x2FFFFFFFu), L"");
}

TEST(MessageModuleFor, PicksNetmsgForNetworkCodesAndPdhForPerformanceCodes) {
    struct Case {
        Win32Error code;
        const wchar_t* module;
    };
    const Case cases[] = {
        {2102, L"netmsg.dll"},
        {2100, L"netmsg.dll"},
        {2999, L"netmsg.dll"},
        {2099, nullptr},
        {3000, nullptr},
        {0xC0000BB8u, L"pdh.dll"},
        {0x800007D0u, L"pdh.dll"},
        {0xC0000B00u, L"pdh.dll"},
        {0x80000700u, L"pdh.dll"},
        {0x80000600u, nullptr},
        {0xC0000A00u, nullptr},
        {2, nullptr},
        {0, nullptr},
        {0x80070005u, nullptr},
    };
    for (const Case& c : cases) {
        const wchar_t* module = MessageModuleFor(c.code);
        if (c.module == nullptr)
            EXPECT_EQ(module, nullptr) << std::hex << "code 0x" << c.code << " got " << module;
        else
            EXPECT_STREQ(module, c.module) << std::hex << "code 0x" << c.code;
    }
}

TEST(GetErrorText, ModuleCodesWithoutAModuleTextGiveAnEmptyText) {
    // Under Wine netmsg.dll is absent and pdh.dll holds no messages, and the
    // system table has none for these codes: the text is empty, without a failure.
    if (ModuleLoads(L"netmsg.dll"))
        GTEST_SKIP() << "netmsg.dll is present: the module's texts are the platform's";
    for (const Win32Error code : {2102u, 0xC0000BB8u, 0x800007D0u}) {
        ASSERT_EQ(SystemTableText(code), L"") << std::hex << "the system table knows 0x" << code;
        EXPECT_EQ(GetErrorText(code), L"") << std::hex << "code 0x" << code;
    }
}

// The build's stand-in modules, each holding one known text, are found first
// once the loader is pointed at their folder: the text must come from the
// module chosen for the code, searched before the system table.
TEST(GetErrorText, ModuleCodesGetTheTextOfTheirOwnModule) {
    wchar_t self[MAX_PATH];
    std::wstring folder(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    folder = folder.substr(0, folder.rfind(L'\\') + 1) + L"message-modules";
    // Windows searches the DLL folder before the system's; Wine's search for a
    // data file skips that folder but takes the current directory.
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    ASSERT_TRUE(SetDllDirectoryW(folder.c_str())) << GetLastError();
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str())) << GetLastError();
    const std::wstring network = GetErrorText(2102);
    const std::wstring performance = GetErrorText(0xC0000BB8u);
    const std::wstring system = GetErrorText(2);
    SetCurrentDirectoryW(current);
    SetDllDirectoryW(nullptr);
    EXPECT_EQ(network, L"Network text from the test module.\r");
    EXPECT_EQ(performance, L"Performance text from the test module.\r");
    EXPECT_EQ(system, WithoutFinalLineFeed(2)) << "a code without a module must not get a module's text";
}

TEST(ErrnoToWin32Error, MapsTheKnownNumbersAndEverythingElseToInvalidFunction) {
    const std::pair<int, Win32Error> cases[] = {
        {1, 5}, {2, 2},  {13, 5}, {17, 80}, {22, 87},     {28, 112},
        {0, 1}, {-1, 1}, {-2, 1}, {3, 1},   {INT_MIN, 1}, {INT_MAX, 1},
    };
    for (const auto& [errnoValue, expected] : cases)
        EXPECT_EQ(ErrnoToWin32Error(errnoValue), expected) << "errno " << errnoValue;
}
