#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "errors/error_text.h"
#include "fsutil/file_tree.h"
#include "fsutil_test_util.h"
#include "support/temp_dir.h"

namespace {

using Lines = std::vector<std::wstring>;

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class FileTree : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(dir_.Path().substr(1, 2), L":\\") << "the temporary folder is expected on a drive";
        WriteBytes(file_, "hello");
        ASSERT_TRUE(Exists(file_));
    }

    TempDir dir_;
    const std::wstring file_ = dir_.File(L"file.txt");
};

// A drive letter that no Wine prefix (and hardly any Windows machine) maps.
constexpr const wchar_t* kMissingDrive = LR"(Q:\)";

// ---------------------------------------------------------------- existence tests

TEST_F(FileTree, ExistenceTestsTellFilesFromDirectories) {
    const std::wstring sub = dir_.File(L"sub");
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    struct Case {
        std::wstring path;
        bool file;
        bool directory;
    };
    const Case cases[] = {
        {file_, true, false},
        {LongForm(file_), true, false},
        {sub, false, true},
        {sub + L"\\", false, true},
        {dir_.File(L"missing.txt"), false, false},
        {dir_.File(LR"(nodir\missing.txt)"), false, false},
        {dir_.Path() + LR"(\\file.txt)", false, false}, // a bad name inside the long-path form (123)
        {L"", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileExists(c.path), c.file) << "FileExists('" << c.path << "')";
        EXPECT_EQ(DirectoryExists(c.path), c.directory) << "DirectoryExists('" << c.path << "')";
    }
}

// ---------------------------------------------------------------- CreateDirectoryTree

TEST_F(FileTree, CreateDirectoryTreeCreatesMissingLevelsTopDown) {
    const std::wstring a = dir_.File(L"a");
    ASSERT_TRUE(CreateDirectoryW(a.c_str(), nullptr));
    const std::wstring b = a + L"\\b";
    const std::wstring c = b + L"\\c";

    LogCapture capture;
    EXPECT_EQ(CreateDirectoryTree(true, true, c), 0u);
    EXPECT_TRUE(IsDirectory(b));
    EXPECT_TRUE(IsDirectory(c));
    EXPECT_EQ(
        capture.Lines(),
        (Lines{InfoLine(L"CreateDirectoryAPIWrapper", L"Created the directory '" + LongForm(b) + L"'"),
               InfoLine(L"CreateDirectoryAPIWrapper", L"Created the directory '" + LongForm(c) + L"'")}))
        << "only the missing levels are created, parent first";
}

TEST_F(FileTree, CreateDirectoryTreeOnAnExistingDirectorySucceeds) {
    LogCapture capture;
    EXPECT_EQ(CreateDirectoryTree(true, true, dir_.Path()), 0u);
    EXPECT_EQ(CreateDirectoryTree(true, true, dir_.Path() + L"\\"), 0u);
    const std::wstring line = DebugLine(L"CreateDirectoryAPIWrapper",
                                        L"Directory already exists: '" + LongForm(dir_.Path()) + L"'");
    EXPECT_EQ(capture.Lines(), (Lines{line, line})) << "the trailing backslash must be gone before the call";
}

TEST_F(FileTree, CreateDirectoryTreeIgnoresTrailingBackslashes) {
    const std::wstring x = dir_.File(L"x");
    const std::wstring y = x + L"\\y";
    EXPECT_EQ(CreateDirectoryTree(false, false, y + L"\\\\"), 0u);
    EXPECT_TRUE(IsDirectory(x));
    EXPECT_TRUE(IsDirectory(y));
}

TEST_F(FileTree, CreateDirectoryTreeWithoutAnExistingTopReturns87AndCreatesNothing) {
    ASSERT_FALSE(DirectoryExists(kMissingDrive)) << "drive Q: exists here";
    LogCapture capture;
    EXPECT_EQ(CreateDirectoryTree(true, true, L""), 87u);
    EXPECT_EQ(CreateDirectoryTree(true, true, std::wstring(kMissingDrive) + L"x"), 87u);
    EXPECT_EQ(CreateDirectoryTree(true, true, std::wstring(kMissingDrive) + LR"(x\y\z)"), 87u);
    EXPECT_EQ(capture.Lines(), Lines{}) << "no level may be attempted when the chain of parents runs out";
}

TEST_F(FileTree, CreateDirectoryTreeStopsAtTheFirstFailingLevel) {
    // A file stands where a directory should be: creating it "already exists",
    // the level below it cannot be created (3), and the one below that is
    // never tried.
    const std::wstring sub = file_ + L"\\sub";
    LogCapture capture;
    EXPECT_EQ(CreateDirectoryTree(true, false, sub + L"\\deeper"), 3u);
    EXPECT_EQ(capture.Lines(), (Lines{ErrorLine(L"CreateDirectoryAPIWrapper",
                                                L"The directory '" + LongForm(sub) +
                                                    L"' could not be created because: " + GetErrorText(3))}));
    EXPECT_EQ(ReadBytes(file_), "hello") << "the file in the way was changed";
}

// ---------------------------------------------------------------- CreateFileWithDirectories

TEST_F(FileTree, CreateFileWithDirectoriesCreatesTheMissingDirectories) {
    const std::wstring new1 = dir_.File(L"new1");
    const std::wstring new2 = new1 + L"\\new2";
    const std::wstring path = new2 + L"\\file.log";
    LogCapture capture;
    HANDLE handle = CreateFileWithDirectories(path);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(handle, "line", 4, &written, nullptr)) << "the handle is not open for writing";
    CloseHandle(handle);
    EXPECT_TRUE(IsDirectory(new1));
    EXPECT_TRUE(IsDirectory(new2));
    EXPECT_EQ(ReadBytes(path), "line");
    EXPECT_EQ(capture.Lines(), Lines{}) << "CreateFileWithDirectories must never log";
}

TEST_F(FileTree, CreateFileWithDirectoriesOpensAnExistingFileAtItsStartWithoutTruncating) {
    HANDLE handle = CreateFileWithDirectories(file_);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    // Other openers may read, write and delete while the handle is open.
    EXPECT_EQ(ReadBytes(file_), "hello") << "the file was truncated or cannot be read beside the handle";
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(handle, "J", 1, &written, nullptr));
    EXPECT_EQ(ReadBytes(file_), "Jello") << "the handle's position was not at the start of the file";
    EXPECT_TRUE(DeleteFileW(file_.c_str())) << "the file is not shared for deletion";
    CloseHandle(handle);
}

TEST_F(FileTree, CreateFileWithDirectoriesFailsWithInvalidHandleAndNoLog) {
    ASSERT_FALSE(DirectoryExists(kMissingDrive)) << "drive Q: exists here";
    LogCapture capture;
    // Directory creation fails: the drive is missing, or a file is in the way.
    EXPECT_EQ(CreateFileWithDirectories(std::wstring(kMissingDrive) + LR"(new\file.log)"),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileWithDirectories(file_ + LR"(\sub\file.log)"), INVALID_HANDLE_VALUE);
    // A failure other than a missing directory: a bad name (123), also inside
    // a missing directory, which only a missing-directory result may create.
    EXPECT_EQ(CreateFileWithDirectories(dir_.Path() + LR"(\\bad.log)"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileWithDirectories(dir_.Path() + LR"(\missing\bad<name.log)"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(ListDirectory(dir_.Path()), std::vector<std::wstring>{L"file.txt"}) << "something was created";
    EXPECT_EQ(capture.Lines(), Lines{});
}

} // namespace
