#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "errors/error_text.h"
#include "fsutil/api_wrappers.h"
#include "fsutil_test_util.h"
#include "support/temp_dir.h"

namespace {

using Lines = std::vector<std::wstring>;

class ApiWrappers : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(dir_.Path().substr(1, 2), L":\\") << "the temporary folder is expected on a drive";
        WriteBytes(file_, "content");
        ASSERT_TRUE(Exists(file_));
    }

    TempDir dir_;
    const std::wstring file_ = dir_.File(L"file.txt");
    const std::wstring missing_ = dir_.File(L"missing.txt");
    const std::wstring missingDir_ = dir_.File(L"nodir");
    const std::wstring inMissingDir_ = dir_.File(LR"(nodir\file.txt)");
};

// ---------------------------------------------------------------- GetFileAttributesAPIWrapper

TEST_F(ApiWrappers, GetAttributesLogsTheValueInHexOnSuccess) {
    const std::wstring sub = dir_.File(L"sub");
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    const std::wstring readOnly = dir_.File(L"ro.txt");
    WriteBytes(readOnly, "x");
    ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(AttributesOf(file_), DWORD{FILE_ATTRIBUTE_ARCHIVE})
        << "a new file should carry only the archive bit";

    LogCapture capture;
    struct Case {
        std::wstring path;
        DWORD attributes;
        const wchar_t* hex;
    };
    const Case cases[] = {{file_, 0x20, L"0x20"}, {sub, 0x10, L"0x10"}, {readOnly, 0x21, L"0x21"}};
    Lines expected;
    for (const Case& c : cases) {
        DWORD attributes = 0;
        EXPECT_EQ(GetFileAttributesAPIWrapper(&attributes, true, true, c.path), 0u) << c.path;
        EXPECT_EQ(attributes, c.attributes) << c.path;
        expected.push_back(
            InfoLine(L"GetFileAttributesAPIWrapper",
                     L"Retrieved attributes <" + std::wstring(c.hex) + L"> of <" + LongForm(c.path) + L">"));
    }
    // Without logSuccess a successful read is silent.
    DWORD attributes = 0;
    EXPECT_EQ(GetFileAttributesAPIWrapper(&attributes, true, false, file_), 0u);
    EXPECT_EQ(capture.Lines(), expected);
}

TEST_F(ApiWrappers, GetAttributesOfAMissingObjectFailsWithTheSystemCode) {
    LogCapture capture;
    struct Case {
        std::wstring path;
        Win32Error code;
    };
    Lines expected;
    for (const Case& c : {Case{missing_, 2}, Case{inMissingDir_, 3}}) {
        DWORD attributes = 0;
        EXPECT_EQ(GetFileAttributesAPIWrapper(&attributes, true, true, c.path), c.code) << c.path;
        EXPECT_EQ(attributes, INVALID_FILE_ATTRIBUTES) << "the failed read must be left in the out-value";
        expected.push_back(
            ErrorLine(L"GetFileAttributesAPIWrapper", L"GetFileAttributes of '" + LongForm(c.path) +
                                                          L"' failed with: " + GetErrorText(c.code)));
    }
    DWORD attributes = 0;
    EXPECT_EQ(GetFileAttributesAPIWrapper(&attributes, false, true, missing_), 2u) << "logErrors off";
    EXPECT_EQ(capture.Lines(), expected);
}

TEST_F(ApiWrappers, GetAttributesWithoutOutPointerReturns87Silently) {
    LogCapture capture;
    EXPECT_EQ(GetFileAttributesAPIWrapper(nullptr, true, true, file_), 87u);
    EXPECT_EQ(GetFileAttributesAPIWrapper(nullptr, true, true, missing_), 87u);
    EXPECT_TRUE(capture.Lines().empty()) << "a null out-pointer must not be logged";
}

// ---------------------------------------------------------------- SetFileAttributesAPIWrapper

TEST_F(ApiWrappers, SetAttributesLogsTheRequestedValueInDecimal) {
    LogCapture capture;
    EXPECT_EQ(SetFileAttributesAPIWrapper(FILE_ATTRIBUTE_ARCHIVE, true, true, file_), 0u);
    EXPECT_EQ(AttributesOf(file_), DWORD{FILE_ATTRIBUTE_ARCHIVE});

    EXPECT_EQ(SetFileAttributesAPIWrapper(0x21, true, true, file_), 0u);
    EXPECT_EQ(AttributesOf(file_), 0x21u) << "the read-only bit was not set";

    // A bit outside the settable ones (directory, 0x10) does not make the call
    // fail, and the message shows the value as requested.
    EXPECT_EQ(SetFileAttributesAPIWrapper(0x30, true, true, file_), 0u);
    EXPECT_EQ(AttributesOf(file_), 0x20u) << "the read-only bit was not cleared";

    EXPECT_EQ(SetFileAttributesAPIWrapper(0x21, true, false, file_), 0u) << "logSuccess off";
    const std::wstring path = LongForm(file_);
    EXPECT_EQ(capture.Lines(),
              (Lines{
                  InfoLine(L"SetFileAttributesAPIWrapper", L"Set attributes '32' on '" + path + L"'"),
                  InfoLine(L"SetFileAttributesAPIWrapper", L"Set attributes '33' on '" + path + L"'"),
                  InfoLine(L"SetFileAttributesAPIWrapper", L"Set attributes '48' on '" + path + L"'"),
              }));
}

TEST_F(ApiWrappers, SetAttributesOnAMissingFileFailsWithTheSystemCode) {
    LogCapture capture;
    EXPECT_EQ(SetFileAttributesAPIWrapper(FILE_ATTRIBUTE_READONLY, true, true, missing_), 2u);
    EXPECT_EQ(SetFileAttributesAPIWrapper(FILE_ATTRIBUTE_READONLY, true, true, inMissingDir_), 3u);
    EXPECT_EQ(SetFileAttributesAPIWrapper(FILE_ATTRIBUTE_READONLY, false, true, missing_), 2u)
        << "logErrors off";
    EXPECT_EQ(capture.Lines(), (Lines{
                                   ErrorLine(L"SetFileAttributesAPIWrapper",
                                             L"Setting attributes '1' on '" + LongForm(missing_) +
                                                 L"' failed with: " + GetErrorText(2)),
                                   ErrorLine(L"SetFileAttributesAPIWrapper",
                                             L"Setting attributes '1' on '" + LongForm(inMissingDir_) +
                                                 L"' failed with: " + GetErrorText(3)),
                               }));
}

// A set that the system refuses (this user may not change the file) but that
// would change nothing counts as done; one that would change something fails.
// Runs as another user through as_another_user.sh, which names a file owned by
// root: Wine run as root may change any file.
TEST(AsAnotherUser, RefusedSetOfTheAttributesAlreadyThereIsSuccess) {
    const char* foreign = std::getenv("QM_FOREIGN_FILE");
    if (foreign == nullptr)
        GTEST_SKIP() << "runs as another user, on a file it may not change (tests/fsutil/as_another_user.sh)";
    const std::wstring path(foreign, foreign + std::strlen(foreign));
    const DWORD current = AttributesOf(path);
    ASSERT_EQ(current, DWORD{FILE_ATTRIBUTE_ARCHIVE}) << "fixture file " << path;
    ASSERT_FALSE(SetFileAttributesW(path.c_str(), current)) << "this user may change the file: no test";
    const Win32Error refused = GetLastError();

    LogCapture capture;
    EXPECT_EQ(SetFileAttributesAPIWrapper(current, true, true, path), 0u);
    EXPECT_EQ(SetFileAttributesAPIWrapper(current | FILE_ATTRIBUTE_READONLY, true, true, path), refused);
    EXPECT_EQ(
        capture.Lines(),
        (Lines{
            InfoLine(L"SetFileAttributesAPIWrapper", L"Could not set attributes '32' on '" + LongForm(path) +
                                                         L"', but attributes were already identical."),
            ErrorLine(L"SetFileAttributesAPIWrapper", L"Setting attributes '33' on '" + LongForm(path) +
                                                          L"' failed with: " + GetErrorText(refused)),
        }));
}

// ---------------------------------------------------------------- FindFirstFileAPIWrapper

TEST_F(ApiWrappers, FindFirstFileHandsOutTheFirstMatch) {
    LogCapture capture;
    WIN32_FIND_DATAW found;
    HANDLE search = nullptr;
    ASSERT_EQ(FindFirstFileAPIWrapper(&found, &search, true, true, dir_.File(L"*.txt")), 0u);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(found.cFileName, L"file.txt");
    EXPECT_TRUE(FindClose(search)) << "the handle handed out is not a search handle";
    EXPECT_TRUE(capture.Lines().empty()) << "a successful search must never be logged";
}

TEST_F(ApiWrappers, FindFirstFileToleratesOnlyNotFound) {
    LogCapture capture;
    struct Case {
        std::wstring pattern;
        Win32Error code;
    };
    const Case cases[] = {
        {dir_.File(L"*.nomatch"), 2},
        {dir_.File(LR"(nodir\*)"), 3},
    };
    Lines expected;
    for (const Case& c : cases) {
        WIN32_FIND_DATAW found;
        std::memset(&found, 0x5A, sizeof found);
        HANDLE search = nullptr;
        EXPECT_EQ(FindFirstFileAPIWrapper(&found, &search, true, true, c.pattern), 0u) << c.pattern;
        EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "a tolerated miss must leave INVALID_HANDLE_VALUE";
        const WIN32_FIND_DATAW zero{};
        EXPECT_EQ(std::memcmp(&found, &zero, sizeof found), 0) << "the find record was not cleared";

        search = nullptr;
        EXPECT_EQ(FindFirstFileAPIWrapper(&found, &search, false, true, c.pattern), c.code) << c.pattern;
        EXPECT_EQ(search, INVALID_HANDLE_VALUE);
        expected.push_back(ErrorLine(L"FindFirstFileAPIWrapper", L"FindFirstFile for path '" +
                                                                     LongForm(c.pattern) + L"' returned: " +
                                                                     GetErrorText(c.code)));
    }
    // A doubled backslash is a bad name inside the long-path form (123): no
    // not-found code, so it is reported even with tolerateNotFound.
    const std::wstring badName = dir_.Path() + LR"(\\x)";
    WIN32_FIND_DATAW found;
    HANDLE search = nullptr;
    EXPECT_EQ(FindFirstFileAPIWrapper(&found, &search, true, true, badName), 123u);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE);
    expected.push_back(ErrorLine(L"FindFirstFileAPIWrapper", L"FindFirstFile for path '" + LongForm(badName) +
                                                                 L"' returned: " + GetErrorText(123)));
    EXPECT_EQ(capture.Lines(), expected);
}

TEST_F(ApiWrappers, FindFirstFileWithANullOutPointerReturns87AndTouchesNothing) {
    LogCapture capture;
    WIN32_FIND_DATAW found;
    std::memset(&found, 0x5A, sizeof found);
    const WIN32_FIND_DATAW before = found;
    HANDLE search = reinterpret_cast<HANDLE>(0x1234);
    EXPECT_EQ(FindFirstFileAPIWrapper(nullptr, &search, true, true, dir_.File(L"*")), 87u);
    EXPECT_EQ(search, reinterpret_cast<HANDLE>(0x1234)) << "the handle was written despite the null record";
    EXPECT_EQ(FindFirstFileAPIWrapper(&found, nullptr, true, true, dir_.File(L"*")), 87u);
    EXPECT_EQ(std::memcmp(&found, &before, sizeof found), 0)
        << "the record was written despite the null handle";
    EXPECT_TRUE(capture.Lines().empty());
}

// ---------------------------------------------------------------- CreateFileAPIWrapper

struct FileIsNewCase {
    const char* name;
    DWORD disposition;
    bool exists;
    bool expected;
};

void PrintTo(const FileIsNewCase& c, std::ostream* os) {
    *os << c.name;
}

class CreateFileIsNew : public ApiWrappers, public testing::WithParamInterface<FileIsNewCase> {};

TEST_P(CreateFileIsNew, TellsWhetherTheCallCreatedTheFile) {
    const FileIsNewCase& c = GetParam();
    const std::wstring path = c.exists ? file_ : missing_;
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool fileIsNew = !c.expected;
    ASSERT_EQ(CreateFileAPIWrapper(&handle, GENERIC_WRITE, 0, nullptr, c.disposition, 0, nullptr, false, true,
                                   true, &fileIsNew, path),
              0u)
        << c.name;
    ASSERT_NE(handle, INVALID_HANDLE_VALUE) << c.name;
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_EQ(fileIsNew, c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Dispositions, CreateFileIsNew,
    testing::Values(FileIsNewCase{"OPEN_ALWAYS, new file", OPEN_ALWAYS, false, true},
                    FileIsNewCase{"OPEN_ALWAYS, existing file", OPEN_ALWAYS, true, false},
                    FileIsNewCase{"CREATE_ALWAYS, new file", CREATE_ALWAYS, false, true},
                    FileIsNewCase{"CREATE_ALWAYS, existing file", CREATE_ALWAYS, true, true},
                    FileIsNewCase{"CREATE_NEW, new file", CREATE_NEW, false, false},
                    FileIsNewCase{"OPEN_EXISTING", OPEN_EXISTING, true, false},
                    FileIsNewCase{"TRUNCATE_EXISTING", TRUNCATE_EXISTING, true, false}),
    [](const testing::TestParamInfo<FileIsNewCase>& info) { return "Case" + std::to_string(info.index); });

TEST_F(ApiWrappers, CreateFilePassesItsArgumentsThrough) {
    const std::wstring path = dir_.File(L"new.txt");
    HANDLE handle = INVALID_HANDLE_VALUE;
    ASSERT_EQ(CreateFileAPIWrapper(&handle, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_READONLY,
                                   nullptr, false, true, true, nullptr, path),
              0u);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    // Share mode 0: no second opener while the handle is open.
    HANDLE second = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(second, INVALID_HANDLE_VALUE) << "share mode 0 did not reach CreateFileW";
    if (second != INVALID_HANDLE_VALUE)
        CloseHandle(second);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(handle, "abc", 3, &written, nullptr)) << "GENERIC_WRITE did not reach CreateFileW";
    CloseHandle(handle);
    EXPECT_EQ(ReadBytes(path), "abc");
    EXPECT_EQ(AttributesOf(path), 0x21u) << "the file was not created with the requested read-only attribute";
}

TEST_F(ApiWrappers, CreateFileToleratesAMissingFileAndLogsItOnRequest) {
    LogCapture capture;
    Lines expected;
    for (const std::wstring& path : {missing_, inMissingDir_}) {
        HANDLE handle = nullptr;
        EXPECT_EQ(CreateFileAPIWrapper(&handle, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr, true,
                                       true, true, nullptr, path),
                  0u)
            << path;
        EXPECT_EQ(handle, INVALID_HANDLE_VALUE) << "a tolerated miss must leave INVALID_HANDLE_VALUE";
        expected.push_back(
            InfoLine(L"CreateFileAPIWrapper", L"File '" + LongForm(path) + L"' does not exist."));
    }
    HANDLE handle = nullptr;
    EXPECT_EQ(CreateFileAPIWrapper(&handle, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr, true, true,
                                   false, nullptr, missing_),
              0u)
        << "logNotFound off";
    EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(capture.Lines(), expected);
}

TEST_F(ApiWrappers, CreateFileFailuresAreLoggedWithTheSystemCode) {
    LogCapture capture;
    struct Case {
        std::wstring path;
        DWORD disposition;
        bool tolerateNotFound;
        Win32Error code;
    };
    const Case cases[] = {
        {missing_, OPEN_EXISTING, false, 2},
        {inMissingDir_, OPEN_EXISTING, false, 3},
        {file_, CREATE_NEW, true, 80}, // no not-found code: reported despite tolerateNotFound
    };
    Lines expected;
    for (const Case& c : cases) {
        HANDLE handle = nullptr;
        bool fileIsNew = true;
        EXPECT_EQ(CreateFileAPIWrapper(&handle, GENERIC_WRITE, 0, nullptr, c.disposition, 0, nullptr,
                                       c.tolerateNotFound, true, true, &fileIsNew, c.path),
                  c.code)
            << c.path;
        EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(fileIsNew) << "a failed open created no file";
        expected.push_back(ErrorLine(L"CreateFileAPIWrapper", L"CreateFile for file '" + LongForm(c.path) +
                                                                  L"' returned: " + GetErrorText(c.code)));
    }
    HANDLE handle = nullptr;
    EXPECT_EQ(CreateFileAPIWrapper(&handle, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr, false, false,
                                   true, nullptr, missing_),
              2u)
        << "logErrors off";
    EXPECT_EQ(capture.Lines(), expected);
}

TEST_F(ApiWrappers, CreateFileWithoutHandlePointerReturns87AfterClearingFileIsNew) {
    LogCapture capture;
    bool fileIsNew = true;
    EXPECT_EQ(CreateFileAPIWrapper(nullptr, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr, true, true,
                                   true, &fileIsNew, missing_),
              87u);
    EXPECT_FALSE(fileIsNew) << "fileIsNew must be cleared before the pointer check";
    EXPECT_FALSE(Exists(missing_)) << "no file may be created without a handle to return";
    EXPECT_TRUE(capture.Lines().empty());
}

// ---------------------------------------------------------------- CreateDirectoryAPIWrapper

TEST_F(ApiWrappers, CreateDirectoryLogsCreatedAndAlreadyExisting) {
    LogCapture capture;
    const std::wstring sub = dir_.File(L"sub");
    EXPECT_EQ(CreateDirectoryAPIWrapper(true, true, sub), 0u);
    EXPECT_TRUE(AttributesOf(sub) & FILE_ATTRIBUTE_DIRECTORY) << "the directory was not created";
    EXPECT_EQ(CreateDirectoryAPIWrapper(true, true, sub), 0u) << "an existing directory counts as success";
    EXPECT_EQ(CreateDirectoryAPIWrapper(true, true, file_), 0u)
        << "an existing file of that name counts as well";
    EXPECT_EQ(CreateDirectoryAPIWrapper(true, false, dir_.File(L"quiet")), 0u) << "logSuccess off";
    EXPECT_EQ(CreateDirectoryAPIWrapper(true, false, sub), 0u) << "logSuccess off";
    EXPECT_EQ(
        capture.Lines(),
        (Lines{
            InfoLine(L"CreateDirectoryAPIWrapper", L"Created the directory '" + LongForm(sub) + L"'"),
            DebugLine(L"CreateDirectoryAPIWrapper", L"Directory already exists: '" + LongForm(sub) + L"'"),
            DebugLine(L"CreateDirectoryAPIWrapper", L"Directory already exists: '" + LongForm(file_) + L"'"),
        }));
}

TEST_F(ApiWrappers, CreateDirectoryFailureIsLoggedWithTheSystemCode) {
    LogCapture capture;
    const std::wstring nested = dir_.File(LR"(nodir\sub)");
    EXPECT_EQ(CreateDirectoryAPIWrapper(true, true, nested), 3u);
    EXPECT_FALSE(Exists(missingDir_));
    EXPECT_EQ(CreateDirectoryAPIWrapper(false, true, nested), 3u) << "logErrors off";
    EXPECT_EQ(capture.Lines(), (Lines{ErrorLine(L"CreateDirectoryAPIWrapper",
                                                L"The directory '" + LongForm(nested) +
                                                    L"' could not be created because: " + GetErrorText(3))}));
}

// ---------------------------------------------------------------- every flag off

TEST_F(ApiWrappers, WithEveryLogFlagOffNoOutcomeIsLogged) {
    LogCapture capture;
    DWORD attributes = 0;
    EXPECT_EQ(GetFileAttributesAPIWrapper(&attributes, false, false, file_), 0u);
    EXPECT_EQ(GetFileAttributesAPIWrapper(&attributes, false, false, missing_), 2u);

    EXPECT_EQ(SetFileAttributesAPIWrapper(FILE_ATTRIBUTE_ARCHIVE, false, false, file_), 0u);
    EXPECT_EQ(SetFileAttributesAPIWrapper(FILE_ATTRIBUTE_ARCHIVE, false, false, missing_), 2u);

    WIN32_FIND_DATAW found;
    HANDLE search = nullptr;
    EXPECT_EQ(FindFirstFileAPIWrapper(&found, &search, false, false, file_), 0u);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    EXPECT_EQ(FindFirstFileAPIWrapper(&found, &search, true, false, missing_), 0u);
    EXPECT_EQ(FindFirstFileAPIWrapper(&found, &search, false, false, missing_), 2u);

    HANDLE handle = nullptr;
    EXPECT_EQ(CreateFileAPIWrapper(&handle, GENERIC_READ, 7, nullptr, OPEN_EXISTING, 0, nullptr, false, false,
                                   false, nullptr, file_),
              0u);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    EXPECT_EQ(CreateFileAPIWrapper(&handle, GENERIC_READ, 7, nullptr, OPEN_EXISTING, 0, nullptr, true, false,
                                   false, nullptr, missing_),
              0u);
    EXPECT_EQ(CreateFileAPIWrapper(&handle, GENERIC_READ, 7, nullptr, OPEN_EXISTING, 0, nullptr, false, false,
                                   false, nullptr, missing_),
              2u);

    const std::wstring sub = dir_.File(L"sub");
    EXPECT_EQ(CreateDirectoryAPIWrapper(false, false, sub), 0u);
    EXPECT_EQ(CreateDirectoryAPIWrapper(false, false, sub), 0u);
    EXPECT_EQ(CreateDirectoryAPIWrapper(false, false, inMissingDir_), 3u);

    EXPECT_EQ(capture.Lines(), Lines{}) << "a wrapper logged although every log flag was off";
}

} // namespace
