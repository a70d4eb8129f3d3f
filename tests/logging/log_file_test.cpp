// The file sink through a real log file: the bytes of a line, the size limit
// that triggers rotation, the time-stamped copies and their clean-up.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "errors/string_conversion.h"
#include "logging/log_time.h"
#include "running_logger.h"

namespace {

constexpr std::size_t kLimit = 10485760;

std::string Utf8(const std::wstring& text) {
    return WstringToUtf8(text);
}

// Queues an entry with exactly these values, bypassing LogMessage's capture.
void PushEntry(LogLevel level, const std::wstring& domain, const std::wstring& user, std::uint32_t threadId,
               const std::wstring& category, const std::wstring& message, std::uint64_t time = 0) {
    LogEntry entry;
    entry.level = level;
    entry.domain = domain;
    entry.user = user;
    entry.threadId = threadId;
    entry.category = category;
    entry.message = message;
    entry.time = time;
    ASSERT_EQ(GetLogger().queue.Push(std::move(entry)), 0u);
}

// A FILETIME rounded down to whole milliseconds, the resolution of a stamp.
std::uint64_t ToMilliseconds(std::uint64_t fileTime) {
    return fileTime - fileTime % 10000;
}

class LogFile : public RunningLogger {
protected:
    std::string LogBytes() const { return ReadBytes(LogPath()); }
};

TEST_F(LogFile, WritesTheDefaultLineFormat) {
    std::wstring account, domain, user;
    ASSERT_EQ(GetCurrentUserName(account), 0u);
    SplitAccountName(account, domain, user);

    const std::uint64_t before = CurrentFileTime();
    LogMessage(LogLevel::ERROR, L"Process\r\nCmdLine", L" \t\r\nNo target\r\nspecified!\t \n");
    const std::uint64_t after = CurrentFileTime();
    Flush();

    const std::string bytes = LogBytes();
    ASSERT_GT(bytes.size(), 29u) << "no line written";
    EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF") << "the log file must not start with a byte order mark";
    const std::string stamp = bytes.substr(0, 29);
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} [+-]\d{4})")))
        << "time stamp '" << stamp << "'";
    // Same zone and fixed widths: stamps order like the instants they show.
    EXPECT_LE(Utf8(FormatLogTime(ToMilliseconds(before))), stamp);
    EXPECT_GE(Utf8(FormatLogTime(after)), stamp);
    std::string expected = ",ERROR,";
    expected += Utf8(domain) + "," + Utf8(user) + "," + std::to_string(GetCurrentThreadId());
    expected += ",ProcessCmdLine,No targetspecified!\r\n";
    EXPECT_EQ(bytes.substr(29), expected) << "the message is trimmed and every CR and LF in the line removed";
}

TEST_F(LogFile, StampsAnEntryWithoutACapturedTimeWhenItIsWritten) {
    SetFields(LogFields::Time | LogFields::Category);
    const std::uint64_t before = CurrentFileTime();
    PushEntry(LogLevel::INFO, L"", L"", 0, L"Cat", L"text", 0);
    Flush();
    const std::uint64_t after = CurrentFileTime();

    const std::string bytes = LogBytes();
    ASSERT_EQ(bytes.size(), 29u + 11u) << bytes;
    EXPECT_LE(Utf8(FormatLogTime(ToMilliseconds(before))), bytes.substr(0, 29));
    EXPECT_GE(Utf8(FormatLogTime(after)), bytes.substr(0, 29));
    EXPECT_EQ(bytes.substr(29), ",Cat,text\r\n");
}

struct FieldCase {
    const char* name;
    std::uint32_t fields;
    const wchar_t* domain;
    const wchar_t* user;
    std::uint32_t threadId;
    const char* expectedLine;
};

void PrintTo(const FieldCase& c, std::ostream* os) {
    *os << c.name;
}

class LogFileFields : public LogFile, public testing::WithParamInterface<FieldCase> {};

TEST_P(LogFileFields, WritesTheSelectedFieldsInOrder) {
    const FieldCase& c = GetParam();
    SetFields(c.fields);
    PushEntry(LogLevel::WARN, c.domain, c.user, c.threadId, L"Cat", L"text");
    Flush();
    EXPECT_EQ(LogBytes(), c.expectedLine);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, LogFileFields,
    testing::Values(
        FieldCase{"MessageOnly", 0, L"LAB", L"alice", 4711, "text\r\n"},
        FieldCase{"Level", LogFields::Level, L"LAB", L"alice", 4711, "WARN ,text\r\n"},
        FieldCase{"User", LogFields::User, L"LAB", L"alice", 4711, "LAB,alice,text\r\n"},
        FieldCase{"EmptyUser", LogFields::User, L"", L"", 4711, ",,text\r\n"},
        FieldCase{"ThreadIdUnpadded", LogFields::ThreadId, L"LAB", L"alice", 4711, "4711,text\r\n"},
        FieldCase{"ThreadIdSigned", LogFields::ThreadId, L"LAB", L"alice", 0xFFFFFFFFu, "-1,text\r\n"},
        FieldCase{"Category", LogFields::Category, L"LAB", L"alice", 4711, "Cat,text\r\n"},
        FieldCase{"AllButTime",
                  LogFields::Level | LogFields::User | LogFields::ThreadId | LogFields::Category, L"LAB",
                  L"alice", 4711, "WARN ,LAB,alice,4711,Cat,text\r\n"}),
    [](const testing::TestParamInfo<FieldCase>& info) { return info.param.name; });

TEST_F(LogFile, PrefixesEachLevel) {
    SetFields(LogFields::Level);
    for (int level = -1; level <= 6; ++level)
        LogMessage(static_cast<LogLevel>(level), L"Cat", std::to_wstring(level));
    Flush();
    EXPECT_EQ(LogBytes(), "UNKNW,-1\r\n"
                          "DEBUG,0\r\n"
                          "INFO ,1\r\n"
                          "WARN ,2\r\n"
                          "ERROR,3\r\n"
                          "CRTCL,4\r\n"
                          "NONE ,5\r\n"
                          "UNKNW,6\r\n");
}

TEST_F(LogFile, EncodesTextAsUtf8) {
    SetFields(0);
    // U+00E9, U+20AC, and U+1F600 as a surrogate pair: one three-byte sequence per surrogate.
    LogMessage(LogLevel::INFO, L"Cat", L"caf\u00e9 \u20ac \xD83D\xDE00");
    Flush();
    EXPECT_EQ(LogBytes(), "caf\xC3\xA9 \xE2\x82\xAC \xED\xA0\xBD\xED\xB8\x80\r\n");
}

TEST_F(LogFile, AppendsToExistingLinesAndCreatesMissingDirectories) {
    const std::wstring path = dir_.File(L"new1\\new2\\app.log");
    SetLogFilePath(path);
    SetFields(LogFields::Category);
    LogMessage(LogLevel::INFO, L"Cat", L"first");
    Flush();
    LogMessage(LogLevel::INFO, L"Cat", L"second");
    Flush();
    EXPECT_EQ(ReadBytes(path), "Cat,first\r\nCat,second\r\n");
}

// Rotation. The copy is named <log path without extension>.<local stamp>.log.
const std::regex kCopyName(R"(app\.exe\.(\d{4}-\d\d-\d\d \d\d-\d\d-\d\d-\d{3})\.log)");

std::vector<std::string> CopiesIn(const std::wstring& directory) {
    std::vector<std::string> copies;
    for (const std::wstring& name : ListDirectory(directory)) {
        if (std::regex_match(Utf8(name), kCopyName))
            copies.push_back(Utf8(name));
    }
    return copies;
}

TEST_F(LogFile, AppendsToAFileOfExactlyTheLimit) {
    SetFields(0);
    WriteBytes(LogPath(), std::string(kLimit, 'a'));
    LogMessage(LogLevel::INFO, L"Cat", L"still in the same file");
    Flush();
    const std::string bytes = LogBytes();
    EXPECT_EQ(bytes.size(), kLimit + 24) << "the line must be appended, not rotated away";
    EXPECT_EQ(bytes.substr(kLimit), "still in the same file\r\n");
    EXPECT_EQ(ListDirectory(dir_.Path()), std::vector<std::wstring>{L"app.exe.log"});
}

TEST_F(LogFile, RotatesAFileOneByteOverTheLimit) {
    SetFields(0);
    WriteBytes(LogPath(), std::string(kLimit + 1, 'a'));
    const std::uint64_t before = CurrentFileTime();
    LogMessage(LogLevel::INFO, L"Cat", L"first line of the new file");
    LogMessage(LogLevel::INFO, L"Cat", L"second line");
    Flush();
    const std::uint64_t after = CurrentFileTime();

    EXPECT_EQ(LogBytes(), "first line of the new file\r\nsecond line\r\n");
    const std::vector<std::string> copies = CopiesIn(dir_.Path());
    ASSERT_EQ(copies.size(), 1u) << "expected one rotated copy beside the log file";
    EXPECT_EQ(ListDirectory(dir_.Path()).size(), 2u);
    const std::string copy = ReadBytes(dir_.File(std::wstring(copies[0].begin(), copies[0].end())));
    EXPECT_EQ(copy.size(), kLimit + 1) << "the copy must hold the full file as it was";
    EXPECT_EQ(copy.find_first_not_of('a'), std::string::npos);

    std::wstring earliest, latest;
    ASSERT_EQ(FormatSystemTime(ToMilliseconds(before), true, L'-', L'-', earliest), 0u);
    ASSERT_EQ(FormatSystemTime(after, true, L'-', L'-', latest), 0u);
    const std::string stamp = copies[0].substr(8, 23);
    EXPECT_LE(Utf8(earliest), stamp) << "the stamp is the local time of the rotation";
    EXPECT_GE(Utf8(latest), stamp) << "the stamp is the local time of the rotation";
}

// Clean-up of old copies. The tests lower the size limit so that a short file
// is already full; the rotated copy made by the test is the newest file.
class LogFileCleanUp : public LogFile {
protected:
    void SetUp() override {
        LogFile::SetUp();
        SetFields(0);
        std::lock_guard<LoggerLock> guard(GetLogger().lock);
        GetLogger().maxLogFileSize = 10;
    }

    // Old copies app.exe.old<i>.log for i = 1..count, older the lower i.
    void MakeOldCopies(int count) {
        for (int i = 1; i <= count; ++i)
            MakeFile(L"app.exe.old" + std::to_wstring(i) + L".log", i);
    }

    // A file whose last write lies `day` days into the year 2020.
    void MakeFile(const std::wstring& name, int day) {
        const std::wstring path = dir_.File(name);
        WriteBytes(path, "old copy\r\n");
        SYSTEMTIME st{2020, 1, 0, static_cast<WORD>(day), 12, 0, 0, 0};
        FILETIME ft;
        ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
        HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &ft));
        CloseHandle(file);
    }

    // Fills the log file past the limit and has the writer rotate it.
    void Rotate() {
        WriteBytes(LogPath(), "more than ten bytes\r\n");
        LogMessage(LogLevel::INFO, L"Cat", L"after the rotation");
        Flush();
        ASSERT_EQ(LogBytes(), "after the rotation\r\n") << "the log file was not rotated";
    }

    // Everything in the directory except the log file and the one stamped copy.
    std::vector<std::wstring> Others() const {
        std::vector<std::wstring> others;
        int stamped = 0;
        for (const std::wstring& name : ListDirectory(dir_.Path())) {
            if (std::regex_match(Utf8(name), kCopyName))
                ++stamped;
            else if (name != L"app.exe.log")
                others.push_back(name);
        }
        EXPECT_EQ(stamped, 1) << "the copy made by the rotation must be kept";
        return others;
    }
};

TEST_F(LogFileCleanUp, KeepsFourCopies) {
    MakeOldCopies(3);
    Rotate();
    EXPECT_EQ(Others(),
              (std::vector<std::wstring>{L"app.exe.old1.log", L"app.exe.old2.log", L"app.exe.old3.log"}));
}

TEST_F(LogFileCleanUp, LeavesTheThreeNewestWhenAFifthAppears) {
    MakeOldCopies(4);
    Rotate();
    EXPECT_EQ(Others(), (std::vector<std::wstring>{L"app.exe.old3.log", L"app.exe.old4.log"}));
}

TEST_F(LogFileCleanUp, GoesByLastWriteTimeNotByName) {
    MakeFile(L"app.exe.a.log", 5); // newest of the old
    MakeFile(L"app.exe.b.log", 1);
    MakeFile(L"app.exe.c.log", 2);
    MakeFile(L"app.exe.d.log", 3);
    MakeFile(L"app.exe.e.log", 4);
    Rotate();
    EXPECT_EQ(Others(), (std::vector<std::wstring>{L"app.exe.a.log", L"app.exe.e.log"}));
}

TEST_F(LogFileCleanUp, NeverCountsOrDeletesDirectoriesOrOtherFiles) {
    MakeOldCopies(3);
    ASSERT_TRUE(CreateDirectoryW(dir_.File(L"app.exe.folder.log").c_str(), nullptr));
    for (const wchar_t* name : {L"app.exe.log.bak", L"app.exe.1.logx", L"other.1.log", L"app.1.log"})
        MakeFile(name, 1);
    Rotate();
    // Counted, the directory would have made five and cost the oldest copies.
    EXPECT_EQ(Others(), (std::vector<std::wstring>{
                            L"app.1.log", L"app.exe.1.logx", L"app.exe.folder.log", L"app.exe.log.bak",
                            L"app.exe.old1.log", L"app.exe.old2.log", L"app.exe.old3.log", L"other.1.log"}));
}

TEST_F(LogFileCleanUp, AppendsToAFileThatCannotBeMovedAside) {
    const std::string full = "more than ten bytes\r\n";
    WriteBytes(LogPath(), full);
    // Another handle without FILE_SHARE_DELETE keeps the file from being renamed.
    HANDLE holder = CreateFileW(LogPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    LogMessage(LogLevel::INFO, L"Cat", L"first");
    LogMessage(LogLevel::INFO, L"Cat", L"second");
    Flush();
    CloseHandle(holder);

    EXPECT_EQ(LogBytes(), full + "first\r\nsecond\r\n") << "both lines must be appended to the full file";
    EXPECT_EQ(ListDirectory(dir_.Path()), std::vector<std::wstring>{L"app.exe.log"}) << "no copy can exist";
}

} // namespace
