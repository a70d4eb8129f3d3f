#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "measure/file_io_tests.h"
#include "measure/stop_request.h"
#include "measure/stopwatch.h"
#include "errors/error_text.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "support/timing_allowance.h"
#include "utf16_bytes.h"

namespace {

const std::wstring kUuid = L"0f8fad5b-d9cb-469f-a165-70867728950e";
constexpr std::uint64_t kUntouched = 123456789; // a slot value no test writes by itself

// The four tests on a test file in a fresh directory, every slot preset so that
// a test's write to its slot can be seen.
class FileIoTestsTest : public ::testing::Test {
protected:
    FileIoTestsTest() {
        tests.settings.target = dir.Path();
        tests.settings.testFilePath = dir.File(kUuid);
        tests.durations = {kUntouched, kUntouched, kUntouched, kUntouched};
    }

    const std::wstring& TestFile() const { return tests.settings.testFilePath; }

    TempDir dir;
    FileIoTests tests;
};

// The test file as the write test leaves it after `iterations` passes.
std::string ExpectedTestFile(unsigned iterations) {
    std::wstring text = L"[Section1]\r\n";
    for (unsigned i = 0; i < iterations; ++i)
        text += L"Key" + std::to_wstring(i) + L"=Value" + std::to_wstring(i) + L"\r\n";
    return Utf16File(text);
}

std::wstring LongForm(const std::wstring& path) {
    return L"\\\\?\\" + path;
}

std::wstring DeleteFailure(const std::wstring& path, Win32Error code) {
    return L"ERROR,DeleteAnyFile,Deleting the file '" + LongForm(path) + L"' failed with: " +
           Flat(GetErrorText(code));
}

// --- WriteCustomFunction -------------------------------------------------

TEST_F(FileIoTestsTest, WriteLeavesTheExactTestFile) {
    const struct {
        unsigned iterations;
        std::size_t size;
    } cases[] = {{1, 52}, {3, 104}, {10, 286}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.iterations);
        ASSERT_EQ(ExpectedTestFile(c.iterations).size(), c.size) << "the expected file itself is wrong";
        tests.settings.iterations = c.iterations;
        tests.durations.writeCustomFunction = kUntouched;
        ASSERT_EQ(tests.WriteCustomFunction(), 0u);
        EXPECT_EQ(ReadBytes(TestFile()), ExpectedTestFile(c.iterations));
        EXPECT_NE(tests.durations.writeCustomFunction, kUntouched) << "duration not stored after success";
    }
    EXPECT_EQ(ListDirectory(dir.Path()), std::vector<std::wstring>{kUuid}) << "stray files in the target";
}

TEST_F(FileIoTestsTest, WriteWithTheDefaultCountGivesTheFullFile) {
    tests.settings.iterations = 1000;
    ASSERT_EQ(tests.WriteCustomFunction(), 0u);
    const std::string bytes = ReadBytes(TestFile());
    EXPECT_EQ(bytes.size(), 33586u);
    EXPECT_EQ(bytes, ExpectedTestFile(1000));
}

TEST_F(FileIoTestsTest, WriteLogsItsProgress) {
    tests.settings.iterations = 3;
    LogCapture capture;
    ASSERT_EQ(tests.WriteCustomFunction(), 0u);
    EXPECT_EQ(capture.Lines(), (std::vector<std::wstring>{
                                   L"INFO ,WriteCustomFunction,Creating test file <" + TestFile() + L">...",
                                   L"INFO ,WriteCustomFunction,...done.",
                               }));
}

TEST_F(FileIoTestsTest, WriteReplacesAnOldFileEvenWhenReadOnly) {
    WriteBytes(TestFile(), "old content, much longer than the new file will be......................");
    ASSERT_TRUE(SetFileAttributesW(TestFile().c_str(), FILE_ATTRIBUTE_READONLY));
    tests.settings.iterations = 1;
    ASSERT_EQ(tests.WriteCustomFunction(), 0u);
    EXPECT_EQ(ReadBytes(TestFile()), ExpectedTestFile(1));
}

TEST_F(FileIoTestsTest, WriteIntoMissingDirectoryFailsWithNotFound) {
    tests.settings.testFilePath = dir.File(L"missing\\" + kUuid);
    tests.settings.iterations = 3;
    LogCapture capture;
    EXPECT_EQ(tests.WriteCustomFunction(), 2u);
    EXPECT_EQ(capture.Lines(), (std::vector<std::wstring>{
                                   L"INFO ,WriteCustomFunction,Creating test file <" + TestFile() + L">...",
                               }))
        << "an open failure has no message of its own and no \"...done.\" may follow";
    EXPECT_EQ(tests.durations.writeCustomFunction, kUntouched) << "a failed test must not store a duration";
}

TEST_F(FileIoTestsTest, WriteFailsWhenTheOldFileCannotBeRemoved) {
    ASSERT_TRUE(CreateDirectoryW(TestFile().c_str(), nullptr));
    tests.settings.iterations = 3;
    LogCapture capture;
    const Win32Error code = tests.WriteCustomFunction();
    EXPECT_NE(code, 0u) << "a directory in the place of the test file must fail the test";
    EXPECT_EQ(capture.Lines(), (std::vector<std::wstring>{
                                   L"INFO ,WriteCustomFunction,Creating test file <" + TestFile() + L">...",
                                   DeleteFailure(TestFile(), code),
                               }));
    EXPECT_EQ(tests.durations.writeCustomFunction, kUntouched);
}

TEST_F(FileIoTestsTest, WriteWithoutTestFilePathIsInvalidParameter) {
    tests.settings.testFilePath.clear();
    EXPECT_EQ(tests.WriteCustomFunction(), 87u);
    EXPECT_TRUE(ListDirectory(dir.Path()).empty());
}

// --- ReadPrivateProfileString and ReadCustomFunction -----------------------

TEST_F(FileIoTestsTest, BothReadsPassOnTheWrittenFileAndLeaveItAlone) {
    for (const unsigned iterations : {1u, 3u}) {
        SCOPED_TRACE(iterations);
        tests.settings.iterations = iterations;
        tests.durations = {kUntouched, kUntouched, kUntouched, kUntouched};
        ASSERT_EQ(tests.WriteCustomFunction(), 0u);
        LogCapture capture;
        EXPECT_EQ(tests.ReadPrivateProfileString(), 0u);
        EXPECT_EQ(tests.ReadCustomFunction(), 0u);
        EXPECT_EQ(capture.Lines(),
                  (std::vector<std::wstring>{
                      L"INFO ,ReadPrivateProfileString,Starting GetPrivateProfileString read loop...",
                      L"INFO ,ReadPrivateProfileString,...done.",
                      L"INFO ,ReadCustomFunction,Starting custom read loop...",
                      L"INFO ,ReadCustomFunction,...done.",
                  }));
        EXPECT_NE(tests.durations.readPrivateProfileString, kUntouched) << "duration not stored";
        EXPECT_NE(tests.durations.readCustomFunction, kUntouched) << "duration not stored";
        EXPECT_EQ(tests.durations.createDeleteLoop, kUntouched) << "another test's slot was written";
        EXPECT_EQ(ReadBytes(TestFile()), ExpectedTestFile(iterations)) << "a read test changed the file";
    }
}

TEST_F(FileIoTestsTest, ProfileReadNeedsKey0ToKeyNMinus1) {
    const struct {
        const char* what;
        std::wstring content;
        unsigned iterations;
        Win32Error expected;
    } cases[] = {
        {"one pass reads Key0 only", L"[Section1]\r\nKey0=Value0\r\n", 1, 0},
        {"two passes need Key1", L"[Section1]\r\nKey0=Value0\r\n", 2, 1168},
        {"file cut after its header", L"[Section1]\r\n", 3, 1168},
        {"keys in any order", L"[Section1]\r\nKey1=Value1\r\nKey0=Value0\r\n", 2, 0},
        {"empty value", L"[Section1]\r\nKey0=\r\n", 1, 1168},
        {"keys in another section", L"[Section2]\r\nKey0=Value0\r\n", 1, 1168},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(TestFile(), Utf16File(c.content));
        tests.settings.iterations = c.iterations;
        tests.durations.readPrivateProfileString = kUntouched;
        LogCapture capture;
        EXPECT_EQ(tests.ReadPrivateProfileString(), c.expected);
        const std::vector<std::wstring> lines = capture.Lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), c.expected == 0
                                    ? L"INFO ,ReadPrivateProfileString,...done."
                                    : L"INFO ,ReadPrivateProfileString,Starting GetPrivateProfileString "
                                      L"read loop...")
            << "a failure has no message of its own and no \"...done.\"";
        EXPECT_EQ(tests.durations.readPrivateProfileString != kUntouched, c.expected == 0)
            << "the duration must be stored on success only";
    }
}

TEST_F(FileIoTestsTest, CustomReadReadsOneLineMoreEachPass) {
    const struct {
        const char* what;
        std::wstring content;
        unsigned iterations;
        Win32Error expected;
    } cases[] = {
        {"one pass reads the header only", L"[Section1]\r\n", 1, 0},
        {"file cut after its header fails in pass 1", L"[Section1]\r\n", 3, 1},
        {"the last key line is never read", L"[Section1]\r\nKey0=Value0\r\nKey1=Value1\r\n", 3, 0},
        {"a line without its break does not count", L"[Section1]\r\nKey0=Value0\r\nKey1=Value1", 3, 1},
        {"four passes need four lines", L"[Section1]\r\nKey0=Value0\r\nKey1=Value1\r\n", 4, 1},
        {"lines are not compared", L"a\r\nb\r\n", 2, 0},
        {"file with nothing but the mark", L"", 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(TestFile(), Utf16File(c.content));
        tests.settings.iterations = c.iterations;
        tests.durations.readCustomFunction = kUntouched;
        LogCapture capture;
        EXPECT_EQ(tests.ReadCustomFunction(), c.expected);
        const std::vector<std::wstring> lines = capture.Lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), c.expected == 0 ? L"INFO ,ReadCustomFunction,...done."
                                                : L"INFO ,ReadCustomFunction,Starting custom read loop...")
            << "a failure has no message of its own and no \"...done.\"";
        EXPECT_EQ(tests.durations.readCustomFunction != kUntouched, c.expected == 0)
            << "the duration must be stored on success only";
    }
}

TEST_F(FileIoTestsTest, ReadsOfADeletedFileFailWithNotFound) {
    tests.settings.iterations = 3;
    ASSERT_EQ(tests.WriteCustomFunction(), 0u);
    ASSERT_TRUE(DeleteFileW(TestFile().c_str()));
    EXPECT_EQ(tests.ReadPrivateProfileString(), 2u);
    EXPECT_EQ(tests.ReadCustomFunction(), 2u);
    EXPECT_EQ(tests.durations.readPrivateProfileString, kUntouched);
    EXPECT_EQ(tests.durations.readCustomFunction, kUntouched);
}

TEST_F(FileIoTestsTest, CustomReadWithoutTestFilePathFailsBeforeLogging) {
    tests.settings.testFilePath.clear();
    LogCapture capture;
    EXPECT_EQ(tests.ReadCustomFunction(), 87u);
    EXPECT_TRUE(capture.Lines().empty()) << "nothing may be logged before the path is accepted";
}

// --- CreateDeleteLoop ------------------------------------------------------

TEST_F(FileIoTestsTest, CreateDeleteLoopLeavesNothingBehind) {
    tests.settings.iterations = 3;
    LogCapture capture;
    EXPECT_EQ(tests.CreateDeleteLoop(), 0u);
    EXPECT_EQ(capture.Lines(), (std::vector<std::wstring>{
                                   L"INFO ,CreateDeleteLoop,Starting create/delete test...",
                                   L"INFO ,CreateDeleteLoop,...done.",
                               }));
    EXPECT_TRUE(ListDirectory(dir.Path()).empty()) << "a pass file was left behind";
    EXPECT_NE(tests.durations.createDeleteLoop, kUntouched) << "duration not stored after success";
    EXPECT_EQ(tests.durations.writeCustomFunction, kUntouched) << "another test's slot was written";
}

// A pass file held open by someone who does not share delete access: the loop
// writes it (the holder shares read and write), cannot delete it and stops
// there. What is left shows which name and line that pass used, and that the
// passes before it cleaned up after themselves.
TEST_F(FileIoTestsTest, CreateDeleteLoopStopsAtAFileItCannotDelete) {
    for (const unsigned held : {0u, 1u, 2u}) {
        SCOPED_TRACE(held);
        const std::wstring name = kUuid + std::to_wstring(held);
        const std::wstring path = dir.File(name);
        HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    CREATE_NEW, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        tests.settings.iterations = 3;
        tests.durations.createDeleteLoop = kUntouched;
        Win32Error code = 0;
        std::vector<std::wstring> lines;
        {
            LogCapture capture;
            code = tests.CreateDeleteLoop();
            lines = capture.Lines();
        }
        EXPECT_EQ(code, 32u) << "the delete's sharing violation must be returned";
        EXPECT_EQ(lines, (std::vector<std::wstring>{
                             L"INFO ,CreateDeleteLoop,Starting create/delete test...",
                             DeleteFailure(path, code),
                         }));
        EXPECT_EQ(ListDirectory(dir.Path()), std::vector<std::wstring>{name})
            << "earlier passes must have deleted their files and no later pass may have run";
        const std::string expected = Utf16File(L"Dummy data " + std::to_wstring(held) + L"\r\n");
        EXPECT_EQ(ReadBytes(path), expected);
        EXPECT_EQ(tests.durations.createDeleteLoop, kUntouched) << "a failed loop must not store a duration";
        CloseHandle(holder);
        ASSERT_TRUE(DeleteFileW(path.c_str()));
    }
    EXPECT_EQ(Utf16File(L"Dummy data 0\r\n").size(), 30u);
}

TEST_F(FileIoTestsTest, CreateDeleteLoopStopsAtANameItCannotCreate) {
    const std::wstring blocker = kUuid + L"1";
    ASSERT_TRUE(CreateDirectoryW(dir.File(blocker).c_str(), nullptr));
    tests.settings.iterations = 3;
    LogCapture capture;
    EXPECT_EQ(tests.CreateDeleteLoop(), 5u) << "opening a directory as a file is access denied";
    EXPECT_EQ(capture.Lines(),
              std::vector<std::wstring>{L"INFO ,CreateDeleteLoop,Starting create/delete test..."})
        << "an open failure has no message of its own and no \"...done.\"";
    EXPECT_EQ(ListDirectory(dir.Path()), std::vector<std::wstring>{blocker})
        << "pass 0 must have removed its file and pass 2 must not have run";
    EXPECT_EQ(tests.durations.createDeleteLoop, kUntouched);
}

// --- All four: a stop request, and what the stopwatch covers ---------------

using TestFunction = Win32Error (FileIoTests::*)();

struct TimedTest {
    const char* name;
    TestFunction run;
    std::size_t test; // in kTests
};

const TimedTest kTimedTests[] = {
    {"WriteCustomFunction", &FileIoTests::WriteCustomFunction, kWriteTest},
    {"ReadPrivateProfileString", &FileIoTests::ReadPrivateProfileString, kProfileReadTest},
    {"ReadCustomFunction", &FileIoTests::ReadCustomFunction, kCustomReadTest},
    {"CreateDeleteLoop", &FileIoTests::CreateDeleteLoop, kCreateDeleteTest},
};

// Clears the stop flag on both ends of a test that sets it.
class StopRequestTest : public FileIoTestsTest {
protected:
    StopRequestTest() { g_stopRequested.store(false); }
    ~StopRequestTest() override { g_stopRequested.store(false); }
};

TEST_F(StopRequestTest, EveryTimedLoopEndsWithCancelledAtItsFirstBoundary) {
    tests.settings.iterations = 50;
    ASSERT_EQ(tests.WriteCustomFunction(), 0u);
    const std::string written = ReadBytes(TestFile());
    for (const TimedTest& test : kTimedTests) {
        SCOPED_TRACE(test.name);
        tests.durations = {kUntouched, kUntouched, kUntouched, kUntouched};
        g_stopRequested.store(true);
        LogCapture capture;
        EXPECT_EQ((tests.*test.run)(), 1223u);
        const std::vector<std::wstring> lines = capture.Lines();
        g_stopRequested.store(false);
        EXPECT_EQ(tests.durations.*kTests[test.test].duration, kUntouched)
            << "a stopped test must not store a duration";
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().find(L"...done."), std::wstring::npos) << "a stopped test must not say done";
        if (test.run == &FileIoTests::WriteCustomFunction) {
            EXPECT_EQ(ReadBytes(TestFile()), ExpectedTestFile(0)) << "no line may follow the header";
            WriteBytes(TestFile(), written); // the reads after it need the full file
        }
        EXPECT_EQ(ListDirectory(dir.Path()), std::vector<std::wstring>{kUuid})
            << "only the test file may be there: no pass file of the create/delete loop";
    }
}

TEST_F(StopRequestTest, AStopDuringTheWriteLoopEndsItBetweenTwoLines) {
    tests.settings.iterations = 100000; // far more than pass before the stop
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        g_stopRequested.store(true);
    });
    const Win32Error code = tests.WriteCustomFunction();
    stopper.join();
    EXPECT_EQ(code, 1223u);
    // Whole lines only, from Key0 on, and fewer than were asked for.
    const std::string bytes = ReadBytes(TestFile());
    std::size_t lines = 0;
    while (ExpectedTestFile(static_cast<unsigned>(lines + 1)).size() <= bytes.size())
        ++lines;
    EXPECT_GT(lines, 0u) << "the loop was stopped before it began";
    EXPECT_LT(lines, 100000u);
    EXPECT_EQ(bytes, ExpectedTestFile(static_cast<unsigned>(lines))) << "the stop cut a pass in two";
}

// The stored duration is what the loop took: almost all of the test's time,
// as an independent clock around the whole call shows, and never more.
TEST_F(FileIoTestsTest, EachStoredDurationCoversItsTimedLoop) {
    tests.settings.iterations = 300;
    for (const TimedTest& test : kTimedTests) {
        SCOPED_TRACE(test.name);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ((tests.*test.run)(), 0u);
        const auto outside =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
        const std::uint64_t inside = tests.durations.*kTests[test.test].duration;
        EXPECT_LE(inside, static_cast<std::uint64_t>(outside.count()) + 1000)
            << "the stored time is longer than the whole test";
        // The call also creates and opens its file and logs; on a busy machine
        // the scheduler may stretch that part by a few time slices.
        EXPECT_GE(static_cast<double>(inside),
                  static_cast<double>(outside.count()) * 7 / 10 - kBusyMachineAllowanceUs)
            << "the stored time leaves out most of the loop (" << inside << " of " << outside.count()
            << " us)";
    }
}

// With -latency every pass's phases are kept, and they add up to the test's
// stored duration: they run from the loop's start to its end without a gap,
// so the two differ by the duration's truncation to whole microseconds and by
// the few counter reads outside the phases (which a busy machine may stretch).
TEST_F(FileIoTestsTest, PhaseTimesAddUpToEachTestsDuration) {
    tests.settings.iterations = 200;
    tests.settings.latency = true;
    const std::int64_t frequency = Stopwatch::Frequency();
    for (const TimedTest& test : kTimedTests) {
        SCOPED_TRACE(test.name);
        ASSERT_EQ((tests.*test.run)(), 0u);
        PhaseTimes& phases = tests.phaseTimes[test.test];
        ASSERT_EQ(phases.Phases(), kTests[test.test].phaseCount);
        ASSERT_EQ(phases.Passes(), 200u);
        std::int64_t ticks = 0;
        for (std::size_t phase = 0; phase < phases.Phases(); ++phase) {
            for (std::uint32_t pass = 0; pass < phases.Passes(); ++pass) {
                EXPECT_GE(phases.Phase(phase)[pass], 0) << "phase " << phase << ", pass " << pass;
                ticks += phases.Phase(phase)[pass];
            }
        }
        const double phaseMicroseconds = static_cast<double>(ticks) * 1e6 / static_cast<double>(frequency);
        const double duration = static_cast<double>(tests.durations.*kTests[test.test].duration);
        // Never more than the duration (they lie inside its stopwatch, whose time
        // is truncated to the microsecond); less only by what a busy machine may
        // add between the stopwatch and the first or last phase.
        EXPECT_LE(phaseMicroseconds, duration + 1.0 + 1e-6)
            << "the phases (" << phaseMicroseconds << " us) take longer than the duration (" << duration
            << " us)";
        EXPECT_GE(phaseMicroseconds, duration - kBusyMachineAllowanceUs)
            << "the phases (" << phaseMicroseconds << " us) do not add up to the duration (" << duration
            << " us)";
    }
}

TEST_F(FileIoTestsTest, WithoutLatencyNoPhaseIsKept) {
    tests.settings.iterations = 20;
    for (const TimedTest& test : kTimedTests) {
        SCOPED_TRACE(test.name);
        ASSERT_EQ((tests.*test.run)(), 0u);
        EXPECT_EQ(tests.phaseTimes[test.test].Passes(), 0u) << "samples were kept without -latency";
    }
}

} // namespace
