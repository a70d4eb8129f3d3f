#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "errors/error_text.h"
#include "fsutil/delete_file.h"
#include "fsutil_test_util.h"
#include "support/temp_dir.h"

namespace {

using Lines = std::vector<std::wstring>;

// A read-only file as the system shows it (files keep their archive bit).
constexpr DWORD kReadOnlyFile = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;

class DeleteAnyFileTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(dir_.Path().substr(1, 2), L":\\") << "the temporary folder is expected on a drive";
    }

    std::wstring NewFile(const std::wstring& name, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE) {
        const std::wstring path = dir_.File(name);
        WriteBytes(path, "data");
        EXPECT_TRUE(SetFileAttributesW(path.c_str(), attributes));
        EXPECT_EQ(AttributesOf(path), attributes) << "fixture file " << name;
        return path;
    }

    static std::wstring Failed(const std::wstring& path, Win32Error code) {
        return ErrorLine(L"DeleteAnyFile",
                         L"Deleting the file '" + LongForm(path) + L"' failed with: " + GetErrorText(code));
    }
    static std::wstring Deleted(const std::wstring& path) {
        return InfoLine(L"DeleteAnyFile", L"Deleted the file '" + LongForm(path) + L"'");
    }

    TempDir dir_;
};

TEST_F(DeleteAnyFileTest, EmptyPathIsNothingToDo) {
    LogCapture capture;
    EXPECT_EQ(DeleteAnyFile(false, true, true, L""), 0u);
    EXPECT_EQ(capture.Lines(), Lines{});
}

TEST_F(DeleteAnyFileTest, DeletesAFileAndLogsOnlyWhenAsked) {
    const std::wstring quiet = NewFile(L"quiet.txt");
    const std::wstring loud = NewFile(L"loud.txt");
    LogCapture capture;
    EXPECT_EQ(DeleteAnyFile(true, true, false, quiet), 0u);
    EXPECT_FALSE(Exists(quiet));
    EXPECT_EQ(DeleteAnyFile(true, true, true, loud), 0u);
    EXPECT_FALSE(Exists(loud));
    EXPECT_EQ(capture.Lines(), Lines{Deleted(loud)}) << "only the delete with logSuccess may be logged";
}

TEST_F(DeleteAnyFileTest, DeletesAReadOnlyFile) {
    const std::wstring readOnly = NewFile(L"ro.txt", kReadOnlyFile);
    ASSERT_FALSE(DeleteFileW(readOnly.c_str())) << "the system deletes read-only files: nothing to test here";
    ASSERT_EQ(GetLastError(), 5u);

    LogCapture capture;
    EXPECT_EQ(DeleteAnyFile(true, true, true, readOnly), 0u);
    EXPECT_FALSE(Exists(readOnly)) << "the read-only file is still there";
    EXPECT_EQ(capture.Lines(), Lines{Deleted(readOnly)})
        << "one INFO line, and no ERROR for the first attempt";
}

TEST_F(DeleteAnyFileTest, MissingFileIsSilentSuccessOnlyWhenIgnored) {
    const std::wstring missing = dir_.File(L"missing.txt");
    const std::wstring inMissingDir = dir_.File(LR"(nodir\missing.txt)");
    LogCapture capture;
    EXPECT_EQ(DeleteAnyFile(true, true, true, missing), 0u);
    EXPECT_EQ(DeleteAnyFile(true, true, true, inMissingDir), 0u);
    EXPECT_EQ(capture.Lines(), Lines{}) << "a file that was not there is neither deleted nor an error";

    EXPECT_EQ(DeleteAnyFile(false, true, true, missing), 2u);
    EXPECT_EQ(DeleteAnyFile(false, true, true, inMissingDir), 3u);
    EXPECT_EQ(DeleteAnyFile(false, false, true, missing), 2u) << "logErrors off";
    EXPECT_EQ(capture.Lines(), (Lines{Failed(missing, 2), Failed(inMissingDir, 3)}));
}

TEST_F(DeleteAnyFileTest, FileHeldOpenWithoutDeleteSharingIsLeftAsItWas) {
    // Another handle without FILE_SHARE_DELETE: the system refuses with a
    // sharing violation (32), which is no access denial, so the read-only bit
    // of such a file must not be touched either.
    for (const DWORD attributes : {DWORD{FILE_ATTRIBUTE_ARCHIVE}, kReadOnlyFile}) {
        const std::wstring path = NewFile(L"held" + std::to_wstring(attributes) + L".txt", attributes);
        HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        Lines lines;
        {
            LogCapture capture;
            EXPECT_EQ(DeleteAnyFile(true, true, true, path), 32u) << "attributes " << attributes;
            lines = capture.Lines();
        }
        CloseHandle(holder);
        EXPECT_TRUE(Exists(path)) << "attributes " << attributes;
        EXPECT_EQ(AttributesOf(path), attributes) << "the attributes were changed";
        EXPECT_EQ(lines, Lines{Failed(path, 32)}) << "attributes " << attributes;
    }
}

// A virus scanner opens the read-only file, without delete sharing, between
// the two attempts (see SetSecondDeleteAttempt for why this needs a stand-in).
HANDLE g_scanner = INVALID_HANDLE_VALUE;
Win32Error ScannerOpensItFirst(std::wstring& path) {
    g_scanner = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    return DeleteFileQuiet(path);
}

TEST_F(DeleteAnyFileTest, FailedSecondAttemptReturnsItsOwnCodeAndLeavesTheFileWritable) {
    const std::wstring path = NewFile(L"scanned.txt", kReadOnlyFile);
    SetSecondDeleteAttempt(&ScannerOpensItFirst);
    LogCapture capture;
    const Win32Error code = DeleteAnyFile(true, true, false, path);
    const Lines lines = capture.Lines();
    SetSecondDeleteAttempt(nullptr);
    ASSERT_NE(g_scanner, INVALID_HANDLE_VALUE) << "the second attempt was not made";
    EXPECT_EQ(code, 32u) << "the second attempt's sharing violation must be returned, not the first's 5";
    EXPECT_EQ(lines, Lines{Failed(path, 32)});
    EXPECT_TRUE(Exists(path));
    EXPECT_EQ(AttributesOf(path), FILE_ATTRIBUTE_ARCHIVE) << "the cleared read-only bit must not be put back";
    CloseHandle(g_scanner);
}

TEST_F(DeleteAnyFileTest, AccessDeniedWithoutReadOnlyBitIsReportedAndChangesNothing) {
    // A directory refuses DeleteFileW with access denied, and it is not read-only.
    const std::wstring sub = dir_.File(L"sub");
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    ASSERT_TRUE(SetFileAttributesW(sub.c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
    const DWORD before = AttributesOf(sub);
    ASSERT_EQ(before & FILE_ATTRIBUTE_READONLY, 0u);

    LogCapture capture;
    EXPECT_EQ(DeleteAnyFile(true, true, true, sub), 5u);
    EXPECT_EQ(AttributesOf(sub), before) << "the directory was changed or removed";
    EXPECT_EQ(capture.Lines(), Lines{Failed(sub, 5)});
}

TEST_F(DeleteAnyFileTest, LongPathInputBehavesLikeThePlainForm) {
    struct Outcome {
        Win32Error code;
        bool exists;
        Lines lines;
    };
    const auto run = [this](bool longInput, DWORD attributes, bool create, bool ignoreNotFound) {
        const std::wstring path = dir_.File(L"f.txt");
        if (create)
            NewFile(L"f.txt", attributes);
        LogCapture capture;
        Outcome outcome;
        outcome.code = DeleteAnyFile(ignoreNotFound, true, true, longInput ? LongForm(path) : path);
        outcome.exists = Exists(path);
        outcome.lines = capture.Lines();
        return outcome;
    };
    struct Case {
        const char* name;
        DWORD attributes;
        bool create;
        bool ignoreNotFound;
    };
    const Case cases[] = {
        {"plain file", FILE_ATTRIBUTE_ARCHIVE, true, true},
        {"read-only file", kReadOnlyFile, true, true},
        {"missing file, ignored", 0, false, true},
        {"missing file, reported", 0, false, false},
    };
    for (const Case& c : cases) {
        const Outcome plain = run(false, c.attributes, c.create, c.ignoreNotFound);
        const Outcome converted = run(true, c.attributes, c.create, c.ignoreNotFound);
        EXPECT_EQ(converted.code, plain.code) << c.name;
        EXPECT_EQ(converted.exists, plain.exists) << c.name;
        EXPECT_EQ(converted.lines, plain.lines) << c.name;
    }
    // The reported case shows the converted path once, not a doubled prefix.
    const Outcome reported = run(true, 0, false, false);
    EXPECT_EQ(reported.lines, Lines{Failed(dir_.File(L"f.txt"), 2)});
}

TEST(DeleteFileQuiet, ConvertsThePathInPlaceAndNeverLogs) {
    TempDir dir;
    const std::wstring file = dir.File(L"f.txt");
    WriteBytes(file, "x");
    LogCapture capture;
    std::wstring path = file;
    EXPECT_EQ(DeleteFileQuiet(path), 0u);
    EXPECT_EQ(path, LongForm(file)) << "the caller's string is converted in place";
    EXPECT_FALSE(Exists(file));
    EXPECT_EQ(DeleteFileQuiet(path), 2u) << "the second delete finds nothing";
    EXPECT_EQ(path, LongForm(file)) << "a converted path is not converted again";
    EXPECT_EQ(capture.Lines(), Lines{});
}

} // namespace
