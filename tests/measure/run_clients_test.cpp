// RunClients on real files: the clients start each timed loop together, the
// first failure stops the others, and the client that failed first is named.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/test_table.h"
#include "errors/error_text.h"
#include "fsutil/delete_file.h"
#include "measure/run_clients.h"
#include "measure/stop_request.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

const std::wstring kUuid = L"0f8fad5b-d9cb-469f-a165-70867728950e";

// Four clients in a fresh directory; the stop flag, which a failing client
// raises for all, is clear on both ends.
class RunClientsTest : public testing::Test {
protected:
    RunClientsTest() {
        g_stopRequested.store(false);
        settings.target = dir.Path();
        settings.testFilePath = dir.File(kUuid);
        settings.clients = 4;
    }
    ~RunClientsTest() override {
        g_stopRequested.store(false);
        SetSecondDeleteAttempt(nullptr);
    }

    TempDir dir;
    RunSettings settings;
    RunRecord record;
};

// The stand-in for the second delete of a read-only file: it takes a long
// while, as a share that is slow to answer would.
constexpr auto kSlowPreparation = std::chrono::milliseconds(1500);
std::atomic<int> g_slowDeletes{0};

Win32Error SlowDelete(std::wstring& path) {
    ++g_slowDeletes;
    std::this_thread::sleep_for(kSlowPreparation);
    return DeleteFileQuiet(path);
}

// The first client's write test must first remove a read-only file at its
// path, and that takes long: the others wait for it at the common start, so
// no client's loop has run when it gets there, and the preparation counts in
// neither the wall time nor any client's own time.
TEST_F(RunClientsTest, ASlowPreparationDelaysTheCommonStartForAll) {
    WriteBytes(settings.testFilePath, "left from an earlier run");
    ASSERT_TRUE(SetFileAttributesW(settings.testFilePath.c_str(), FILE_ATTRIBUTE_READONLY));
    SetSecondDeleteAttempt(&SlowDelete);
    g_slowDeletes = 0;
    settings.iterations = 50;
    {
        LogCapture capture; // the run's progress lines go there
        ASSERT_EQ(RunClients(settings, record), 0u);
    }
    ASSERT_EQ(g_slowDeletes, 1) << "the first client's preparation was not the slow one";
    ASSERT_EQ(record.completedTests, 4);
    ASSERT_EQ(record.clients.size(), 4u);
    std::uint64_t slowest = 0;
    for (const ClientRecord& client : record.clients)
        slowest = std::max(slowest, client.durations.writeCustomFunction);
    const std::uint64_t wall = record.durations.writeCustomFunction;
    EXPECT_GE(wall, slowest) << "the wall time runs from the common start to the end of the last client";
    // Had the others started their loops before the slow client had
    // prepared, the wall time would hold its whole preparation.
    const auto slow = std::chrono::duration_cast<std::chrono::microseconds>(kSlowPreparation).count();
    EXPECT_LT(wall - slowest, static_cast<std::uint64_t>(slow / 3))
        << "wall " << wall << " us against the slowest client's " << slowest
        << " us: the loops did not start together";
    EXPECT_TRUE(ListDirectory(dir.Path()).empty());
}

// Each client's own test file, but the first's, as the directory shows them
// while the run is on: the UUID names alone (a create/delete pass's file
// carries its number after its client's name).
std::vector<std::wstring> OtherClientsFiles(const TempDir& dir) {
    std::vector<std::wstring> files;
    for (const std::wstring& name : ListDirectory(dir.Path())) {
        if (name.size() == kUuid.size() && name != kUuid)
            files.push_back(dir.File(name));
    }
    return files;
}

// A directory stands where one client needs a file, and it fails with access
// denied: the first client in its write test's preparation (its test file
// cannot be replaced), or another in pass 1 of its create/delete loop. The
// first failure stops every other client at its next pass: none completes the
// test in progress, though every one completed the tests before it, no later
// test starts, and the error names the client that failed, not one that only
// stopped because of it.
TEST_F(RunClientsTest, TheFirstFailureStopsEveryClientAndIsNamed) {
    settings.iterations = 400; // a loop far longer than the failing client's first two passes
    const struct {
        const char* what;
        bool firstClient;       // else another client, picked while the run is on
        std::size_t failedTest; // in kTests; the tests before it completed
    } cases[] = {
        {"the first client, in the write test's preparation", true, kWriteTest},
        {"another client, in pass 1 of the create/delete loop", false, kCreateDeleteTest},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        g_stopRequested.store(false);
        record = {};
        std::wstring failing;
        std::thread blocker;
        if (c.firstClient) {
            failing = settings.testFilePath; // a directory in its place cannot be removed
            ASSERT_TRUE(CreateDirectoryW(failing.c_str(), nullptr));
        } else {
            blocker = std::thread([&] {
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
                std::vector<std::wstring> files;
                while ((files = OtherClientsFiles(dir)).empty() &&
                       std::chrono::steady_clock::now() < deadline)
                    Sleep(1);
                if (files.empty())
                    return;
                failing = files.back();
                CreateDirectoryW((failing + L"1").c_str(), nullptr);
            });
        }
        std::vector<std::wstring> log;
        Win32Error code = 0;
        {
            LogCapture capture;
            code = RunClients(settings, record);
            log = capture.Lines();
        }
        if (blocker.joinable())
            blocker.join();
        ASSERT_FALSE(failing.empty()) << "no other client's file was seen";
        EXPECT_EQ(code, 5u);
        EXPECT_EQ(record.completedTests, static_cast<int>(c.failedTest));
        ASSERT_EQ(record.clients.size(), 4u);
        const auto failed =
            std::find_if(record.clients.begin(), record.clients.end(),
                         [&](const ClientRecord& client) { return client.testFile == failing; });
        ASSERT_NE(failed, record.clients.end());
        const std::size_t index = failed - record.clients.begin();
        EXPECT_EQ(index == 0, c.firstClient);
        for (std::size_t client = 0; client < 4; ++client) {
            SCOPED_TRACE(client);
            for (std::size_t t = 0; t < kTestCount; ++t) {
                const std::uint64_t own = record.clients[client].durations.*kTests[t].duration;
                if (t < c.failedTest)
                    EXPECT_GT(own, 0u) << kTests[t].category << " before the failure did not complete";
                else
                    EXPECT_EQ(own, 0u) << kTests[t].category << " ran to its end after the first failure";
            }
        }
        const std::wstring named = L"ERROR,Clients,Client " + std::to_wstring(index + 1) +
                                   L" of 4 failed first, on <" + failing + L">: " + Flat(GetErrorText(5));
        EXPECT_EQ(std::count(log.begin(), log.end(), named), 1) << "the first failure is not named once";
        EXPECT_EQ(
            std::count_if(log.begin(), log.end(),
                          [](const std::wstring& line) { return line.rfind(L"ERROR,Clients,", 0) == 0; }),
            1);
        // Only the directory that made it fail is left.
        const std::wstring left = c.firstClient ? failing : failing + L"1";
        EXPECT_EQ(ListDirectory(dir.Path()), std::vector<std::wstring>{left.substr(dir.Path().size() + 1)});
        ASSERT_TRUE(RemoveDirectoryW(left.c_str()));
    }
}

} // namespace
