#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "measure/ini_string.h"
#include "support/temp_dir.h"
#include "utf16_bytes.h"

namespace {

class GetIniStringTest : public ::testing::Test {
protected:
    TempDir dir;
    std::wstring path = dir.File(L"test.ini");
};

TEST_F(GetIniStringTest, ReadsPresentKeysAndReportsMissingOrEmptyOnes) {
    WriteBytes(
        path, Utf16File(L"[Section1]\r\nKey0=Value0\r\nKey3=Value3\r\nEmpty=\r\n[Other]\r\nKey9=Value9\r\n"));
    const struct {
        std::wstring section, key;
        Win32Error code;
        std::wstring value;
    } cases[] = {
        {L"Section1", L"Key3", 0, L"Value3"}, {L"Section1", L"Key0", 0, L"Value0"},
        {L"Section1", L"Key1", 1168, L""},    {L"Section1", L"Empty", 1168, L""},
        {L"Section1", L"Key9", 1168, L""}, // in another section
        {L"Other", L"Key9", 0, L"Value9"},    {L"Missing", L"Key0", 1168, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(L"[" + c.section + L"] " + c.key);
        std::wstring value = L"stale";
        EXPECT_EQ(GetIniString(path, c.section, c.key, &value), c.code);
        EXPECT_EQ(value, c.value);
    }
}

TEST_F(GetIniStringTest, ReadsLongValuesWhole) {
    // Around the first buffer of 4,096 characters and well beyond it.
    for (const std::size_t length : {4094u, 4095u, 4096u, 8191u, 8192u, 20000u}) {
        SCOPED_TRACE(length);
        std::wstring expected(length, L'v');
        expected.back() = L'!'; // the end must arrive as well
        WriteBytes(path, Utf16File(L"[Section1]\r\nLong=" + expected + L"\r\n"));
        std::wstring value;
        EXPECT_EQ(GetIniString(path, L"Section1", L"Long", &value), 0u);
        EXPECT_EQ(value.size(), length) << "the value was cut short";
        EXPECT_EQ(value, expected);
    }
}

TEST_F(GetIniStringTest, MissingFileIsNotFound) {
    std::wstring value = L"stale";
    EXPECT_EQ(GetIniString(path, L"Section1", L"Key0", &value), 2u);
    EXPECT_EQ(value, L"") << "the value must be emptied";
    EXPECT_EQ(GetIniString(dir.File(L"no-dir\\test.ini"), L"Section1", L"Key0", &value), 2u);
    EXPECT_EQ(GetIniString(dir.Path(), L"Section1", L"Key0", &value), 2u) << "a directory is no INI file";
}

TEST_F(GetIniStringTest, NullValueIsInvalidParameter) {
    WriteBytes(path, Utf16File(L"[Section1]\r\nKey0=Value0\r\n"));
    EXPECT_EQ(GetIniString(path, L"Section1", L"Key0", nullptr), 87u);
}

} // namespace

TEST(ProfilePathFor, KeepsShortPathsAndFindsAReadableNameForDeepOnes) {
    TempDir dir;
    const std::wstring shallow = dir.File(L"test.ini");
    EXPECT_EQ(ProfilePathFor(shallow), shallow) << "a path below MAX_PATH is used as it stands";

    std::wstring deep = L"\\\\?\\" + dir.Path();
    while (deep.size() < 320) {
        deep += L"\\a-folder-with-a-rather-long-name";
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr)) << GetLastError();
    }
    const std::wstring file = deep.substr(4) + L"\\test.ini"; // plain form, past MAX_PATH
    WriteBytes(L"\\\\?\\" + file, Utf16File(L"[Section1]\r\nKey7=Value7\r\n"));
    std::wstring value;
    EXPECT_EQ(GetIniString(ProfilePathFor(file), L"Section1", L"Key7", &value), 0u)
        << "the profile functions could not open " << ProfilePathFor(file);
    EXPECT_EQ(value, L"Value7");
}
