#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "measure/text_file.h"
#include "support/temp_dir.h"
#include "utf16_bytes.h"

namespace {

class TextFileTest : public ::testing::Test {
protected:
    TempDir dir;
    std::wstring path = dir.File(L"file.txt");
};

// Whether another opener may write the file at `path` right now.
bool OthersCanWrite(const std::wstring& path) {
    HANDLE h =
        CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

bool OthersCanRead(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

TEST_F(TextFileTest, AppendCreatesWithOneByteOrderMarkAndAddsNoSecond) {
    TextFile file;
    ASSERT_EQ(file.SetPath(path), 0u);
    ASSERT_EQ(file.Open(TextFileMode::Append), 0u) << "append must create a missing file";
    ASSERT_EQ(file.WriteLine(L"first"), 0u);
    file.Close();
    EXPECT_EQ(ReadBytes(path), Utf16File(L"first\r\n"));

    ASSERT_EQ(file.Open(TextFileMode::Append), 0u);
    ASSERT_EQ(file.WriteLine(L"second"), 0u);
    file.Close();
    EXPECT_EQ(ReadBytes(path), Utf16File(L"first\r\nsecond\r\n")) << "appending must not add a second mark";
}

TEST_F(TextFileTest, WriteCutsAnExistingFile) {
    WriteBytes(path, Utf16File(L"old content that is longer\r\n"));
    TextFile file;
    ASSERT_EQ(file.SetPath(path), 0u);
    ASSERT_EQ(file.Open(TextFileMode::Write), 0u);
    ASSERT_EQ(file.WriteLine(L"new"), 0u);
    file.Close();
    EXPECT_EQ(ReadBytes(path), Utf16File(L"new\r\n"));
}

TEST_F(TextFileTest, TextIsNeverAFormat) {
    TextFile file;
    ASSERT_EQ(file.SetPath(path), 0u);
    ASSERT_EQ(file.Open(TextFileMode::Write), 0u);
    ASSERT_EQ(file.WriteLine(L"100% %d %s %ls %n"), 0u);
    file.Close();
    EXPECT_EQ(ReadBytes(path), Utf16File(L"100% %d %s %ls %n\r\n"));
}

TEST_F(TextFileTest, ReadLineSkipsTheMarkAndEndsAtTheLastLine) {
    const struct {
        const char* what;
        std::wstring content;
        std::wstring lastLine;
        bool lastLineComplete;
    } cases[] = {
        {"last line ends with a line break", L"[Section1]\r\nKey0=Value0\r\n", L"Key0=Value0", true},
        {"last line without a line break", L"[Section1]\r\nKey0=Value0", L"Key0=Value0", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(path, Utf16File(c.content));
        TextFile file;
        ASSERT_EQ(file.SetPath(path), 0u);
        ASSERT_EQ(file.Open(TextFileMode::Read), 0u);
        std::wstring line = L"junk";
        EXPECT_TRUE(file.ReadLine(line));
        EXPECT_EQ(line, L"[Section1]") << "the byte-order mark or a CR was not removed";
        EXPECT_EQ(file.ReadLine(line), c.lastLineComplete);
        EXPECT_EQ(line, c.lastLine);
        if (c.lastLineComplete) {
            EXPECT_FALSE(file.ReadLine(line)) << "reading past the last line must fail";
            EXPECT_EQ(line, L"") << "the line must be emptied at the end of the file";
        }
    }
}

TEST_F(TextFileTest, UnknownModeIsRejectedAndLeavesNoStream) {
    WriteBytes(path, Utf16File(L"line\r\n"));
    TextFile file;
    ASSERT_EQ(file.SetPath(path), 0u);
    ASSERT_EQ(file.Open(TextFileMode::Read), 0u);
    for (const int mode : {0, 2, 4, 6}) {
        EXPECT_EQ(file.Open(static_cast<TextFileMode>(mode)), 87u) << "mode " << mode;
        std::wstring line = L"untouched";
        EXPECT_FALSE(file.ReadLine(line)) << "a stream is still open after mode " << mode;
        EXPECT_EQ(line, L"untouched") << "ReadLine without a stream must leave the line alone";
        EXPECT_EQ(file.WriteLine(L"x"), 87u) << "a stream is still open after mode " << mode;
    }
    EXPECT_EQ(ReadBytes(path), Utf16File(L"line\r\n"));
}

TEST_F(TextFileTest, OpenFailuresAreMappedFromTheRuntime) {
    TextFile file;
    ASSERT_EQ(file.SetPath(dir.File(L"missing-dir\\file.txt")), 0u);
    EXPECT_EQ(file.Open(TextFileMode::Write), 2u) << "file in a missing directory";
    EXPECT_EQ(file.Open(TextFileMode::Append), 2u) << "file in a missing directory";
    ASSERT_EQ(file.SetPath(path), 0u);
    EXPECT_EQ(file.Open(TextFileMode::Read), 2u) << "missing file";
    ASSERT_EQ(file.SetPath(dir.Path()), 0u);
    EXPECT_EQ(file.Open(TextFileMode::Write), 5u) << "a directory cannot be opened as a file";
    std::wstring line;
    EXPECT_FALSE(file.ReadLine(line)) << "a failed open must leave no stream";
}

TEST_F(TextFileTest, WithoutPathOrStreamNothingHappens) {
    TextFile file;
    EXPECT_EQ(file.Open(TextFileMode::Write), 87u) << "open without a path";
    EXPECT_EQ(file.WriteLine(L"x"), 87u) << "write without a stream";
    ASSERT_EQ(file.SetPath(path), 0u);
    ASSERT_EQ(file.Open(TextFileMode::Write), 0u);
    file.Close();
    EXPECT_EQ(file.WriteLine(L"x"), 87u) << "write after Close";
    file.Close(); // a second close is harmless
    EXPECT_EQ(ReadBytes(path), "\xFF\xFE");
}

TEST_F(TextFileTest, EmptyPathIsRejectedAndTheOldPathKept) {
    TextFile file;
    EXPECT_EQ(file.SetPath(L""), 87u);
    EXPECT_EQ(file.Open(TextFileMode::Write), 87u) << "an empty path must not be stored";
    ASSERT_EQ(file.SetPath(path), 0u);
    ASSERT_EQ(file.Open(TextFileMode::Write), 0u);
    EXPECT_EQ(file.SetPath(L""), 87u);
    EXPECT_EQ(file.WriteLine(L"x"), 87u) << "SetPath must close an open stream";
    ASSERT_EQ(file.Open(TextFileMode::Append), 0u) << "the earlier path was lost";
    ASSERT_EQ(file.WriteLine(L"kept"), 0u);
    file.Close();
    EXPECT_EQ(ReadBytes(path), Utf16File(L"kept\r\n"));
}

TEST_F(TextFileTest, OthersMayReadButNotWriteWhileOpen) {
    {
        TextFile file;
        ASSERT_EQ(file.SetPath(path), 0u);
        ASSERT_EQ(file.Open(TextFileMode::Write), 0u);
        EXPECT_TRUE(OthersCanRead(path)) << "readers must be let in while the stream is open";
        EXPECT_FALSE(OthersCanWrite(path)) << "writers must be kept out while the stream is open";
        file.Close();
        EXPECT_TRUE(OthersCanWrite(path)) << "Close did not release the file";
        ASSERT_EQ(file.Open(TextFileMode::Read), 0u);
        EXPECT_FALSE(OthersCanWrite(path)) << "writers must be kept out while reading";
    }
    EXPECT_TRUE(OthersCanWrite(path)) << "destruction did not close the stream";
}

} // namespace
