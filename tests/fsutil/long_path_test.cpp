#include <gtest/gtest.h>

#include <cstdlib>

#include <string>

#include "fsutil/long_path.h"

namespace {

struct LongPathCase {
    std::wstring input;
    std::wstring expected;
};

void PrintTo(const LongPathCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.input);
}

class MakeLongPathCases : public testing::TestWithParam<LongPathCase> {};

} // namespace

TEST_P(MakeLongPathCases, ConvertsAbsolutePathsAndLeavesTheRestAlone) {
    std::wstring path = GetParam().input;
    MakeLongPath(&path);
    EXPECT_EQ(path, GetParam().expected) << "input '" << GetParam().input << "'";
}

TEST_P(MakeLongPathCases, ConvertingTwiceChangesNothingMore) {
    std::wstring path = GetParam().input;
    MakeLongPath(&path);
    const std::wstring once = path;
    MakeLongPath(&path);
    EXPECT_EQ(path, once) << "input '" << GetParam().input << "' changed on its second conversion";
}

INSTANTIATE_TEST_SUITE_P(
    Paths, MakeLongPathCases,
    testing::Values(
        // Drive paths: the prefix goes in front; the drive letter is not checked.
        LongPathCase{LR"(C:\data\file.txt)", LR"(\\?\C:\data\file.txt)"},
        LongPathCase{LR"(C:\)", LR"(\\?\C:\)"}, LongPathCase{LR"(1:\x)", LR"(\\?\1:\x)"},
        LongPathCase{LR"(C:\a\..)", LR"(\\?\C:\a\..)"}, // no backslash after the dots
        LongPathCase{LR"(C:\a\.)", LR"(\\?\C:\a\.)"},
        // UNC paths: "?\UNC\" goes in after the two leading backslashes.
        LongPathCase{LR"(\\server\share\file.txt)", LR"(\\?\UNC\server\share\file.txt)"},
        LongPathCase{LR"(\\)", LR"(\\?\UNC\)"},
        // Already converted, or anything else that starts with "\\?".
        LongPathCase{LR"(\\?\C:\data)", LR"(\\?\C:\data)"},
        LongPathCase{LR"(\\?\UNC\server\share)", LR"(\\?\UNC\server\share)"},
        LongPathCase{LR"(\\?)", LR"(\\?)"}, LongPathCase{LR"(\\?x)", LR"(\\?x)"},
        // Device paths and relative components stay outside the long-path namespace.
        LongPathCase{LR"(\\.\COM1)", LR"(\\.\COM1)"}, LongPathCase{LR"(C:\a\.\b)", LR"(C:\a\.\b)"},
        LongPathCase{LR"(C:\a\..\b)", LR"(C:\a\..\b)"},
        LongPathCase{LR"(\\server\share\..\x)", LR"(\\server\share\..\x)"},
        // Relative, drive-relative, rooted without drive, forward slashes.
        LongPathCase{LR"(dir\file)", LR"(dir\file)"}, LongPathCase{L"file.txt", L"file.txt"},
        LongPathCase{L"C:file", L"C:file"}, LongPathCase{LR"(\dir\file)", LR"(\dir\file)"},
        LongPathCase{L"C:/dir/file", L"C:/dir/file"},
        LongPathCase{L"//server/share/file", L"//server/share/file"}, LongPathCase{L"C:", L"C:"},
        LongPathCase{L"\\", L"\\"}, LongPathCase{L"C", L"C"}, LongPathCase{L"", L""},
        LongPathCase{LR"(c:\lower)", LR"(\\?\c:\lower)"}),
    [](const testing::TestParamInfo<LongPathCase>& info) { return "Case" + std::to_string(info.index); });

TEST(MakeLongPath, LongPathsAreConvertedLikeShortOnes) {
    const std::wstring tail(400, L'x');
    std::wstring path = LR"(C:\)" + tail;
    MakeLongPath(&path);
    EXPECT_EQ(path, LR"(\\?\C:\)" + tail);
}

// Without the guard the call dereferences null, and the child process that
// runs it ends with an access violation instead of its own exit code.
TEST(MakeLongPathDeathTest, NullPointerIsAccepted) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            MakeLongPath(nullptr);
            std::exit(7);
        },
        ::testing::ExitedWithCode(7), "");
}
