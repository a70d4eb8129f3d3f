// Runs the real tool against \\localhost\share, a share of a real smbd on this
// machine (scripts/smb-share, started and stopped by the ctest fixture), and
// checks what arrived at the server by looking at the folder smbd serves
// directly, not through the share. What only Linux programs can see (smbd's
// operation counters, Wine's trace of the delete calls) is checked by
// smb_share_probes.sh.
#include <gtest/gtest.h>

#include <windows.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <tuple>
#include <regex>
#include <string>
#include <vector>

#include "support/process_runner.h"
#include "support/temp_dir.h"
#include "tool_console.h"

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t value[32768];
    const DWORD length = GetEnvironmentVariableW(name, value, 32768);
    return length > 0 && length < 32768 ? std::wstring(value, length) : std::wstring();
}

// A Linux path as a Windows program under Wine names it: drive Z: is "/".
std::wstring FromLinux(std::wstring path) {
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return L"Z:" + path;
}

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

ProcessResult RunTool(const std::vector<std::wstring>& arguments) {
    return RunProcess(SiblingProgram(L"Quillmarsh.exe"), arguments);
}

// Each test gets a fresh folder on the share, made through the share (so smbd
// creates it, as the guest user), and removed in the server's folder.
class SmbShare : public testing::Test {
protected:
    void SetUp() override {
        // Handed over by ctest (tests/e2e/smb_share.cmake).
        unc_ = Environment(L"QM_SMB_UNC");
        const std::wstring linuxFolder = Environment(L"QM_SMB_FOLDER");
        ASSERT_FALSE(unc_.empty() || linuxFolder.empty())
            << "QM_SMB_UNC and QM_SMB_FOLDER are set by ctest for the SMB share fixture";
        server_ = FromLinux(linuxFolder);
        // scripts/smb-share start writes why it could not start the share on
        // this machine beside the folder (no /dev/fuse, packages missing).
        const std::string reason = ReadBytes(server_.substr(0, server_.rfind(L'\\')) + L"\\unavailable");
        if (!reason.empty())
            GTEST_SKIP() << "no SMB share on this machine: " << reason;
        ASSERT_TRUE(IsDirectory(unc_)) << Narrow(unc_) << " is not reachable (error " << GetLastError()
                                       << "); scripts/smb-share start should have made it";

        static std::atomic<unsigned> counter{0};
        name_ = L"qm-smb-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(counter++);
        ASSERT_TRUE(CreateDirectoryW(Folder().c_str(), nullptr))
            << "cannot make " << Narrow(Folder()) << " on the share: error " << GetLastError();
        ASSERT_TRUE(IsDirectory(ServerFolder()))
            << "the folder made on the share is not in the server's folder";
    }

    void TearDown() override {
        if (name_.empty())
            return;
        for (const std::wstring& name : ListDirectory(ServerFolder()))
            DeleteFileW((ServerFolder() + L"\\" + name).c_str());
        RemoveDirectoryW(ServerFolder().c_str());
    }

    // \\localhost\share\<fresh folder>
    std::wstring Folder() const { return unc_ + L"\\" + name_; }
    // The same folder seen directly in the folder smbd serves.
    std::wstring ServerFolder() const { return server_ + L"\\" + name_; }

    std::wstring unc_;    // \\localhost\share
    std::wstring server_; // Z:\...\share
    std::wstring name_;
};

TEST_F(SmbShare, FullRunPrintsFourResultsAndLeavesTheServerFolderEmpty) {
    const ProcessResult run = RunTool({L"-target", Folder(), L"-iterations", L"3"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(std::regex_match(run.out, std::regex(SuccessfulRunPattern(Folder()))))
        << "unexpected console output:\n"
        << run.out;
    EXPECT_EQ(ListDirectory(ServerFolder()), std::vector<std::wstring>{})
        << "the run left files on the server";
}

TEST_F(SmbShare, FourClientsAtOnceLeaveTheServerFolderEmpty) {
    const ProcessResult run = RunTool({L"-target", Folder(), L"-iterations", L"5", L"-clients", L"4"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find("Creating 4 test files in <" + Narrow(Folder()) + "\\>...\n"), std::string::npos)
        << run.out;
    EXPECT_TRUE(
        std::regex_search(run.out, std::regex(R"(\nCreate/delete loop +4 +20 +[0-9.]+ +[0-9.]+ +[0-9.]+\n)")))
        << "no clients table:\n"
        << run.out;
    EXPECT_EQ(ListDirectory(ServerFolder()), std::vector<std::wstring>{})
        << "a client left files on the server";
}

TEST_F(SmbShare, TargetWithTrailingBackslashGetsOneSeparatorAndIsCleanedUp) {
    const struct {
        const char* name;
        std::wstring typed;  // the -target value
        std::wstring folder; // the folder as the tool names it
        std::wstring server; // that folder on the server
    } cases[] = {
        {"share root", unc_ + L"\\", unc_, server_},
        {"folder on the share", Folder() + L"\\", Folder(), ServerFolder()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::wstring> before = ListDirectory(c.server);
        const ProcessResult run = RunTool({L"-target", c.typed, L"-iterations", L"2"});
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(std::regex_match(run.out, std::regex(SuccessfulRunPattern(c.folder))))
            << "expected exactly one backslash before the file name:\n"
            << run.out;
        EXPECT_EQ(ListDirectory(c.server), before) << "the run left files on the server";
    }
}

TEST_F(SmbShare, MissingFolderOnTheShareEndsWithFileNotFoundAndCreatesNothing) {
    const ProcessResult run = RunTool({L"-target", Folder() + L"\\does-not-exist", L"-iterations", L"3"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(run.out.find("(s):"), std::string::npos) << "a result line was printed for a failed run";
    EXPECT_EQ(run.err, FailureVerdict(2));
    EXPECT_EQ(ListDirectory(ServerFolder()), std::vector<std::wstring>{}) << "the run created something";
}

// The share's client holds a file for a moment after it was closed: the
// document's rename into place must wait for it rather than lose the run.
TEST_F(SmbShare, JsonDocumentOnTheShareIsWrittenWholeAndReadsBack) {
    TempDir target;
    const std::wstring json = Folder() + L"\\r.json";
    for (int run = 1; run <= 2; ++run) { // the second replaces the first
        SCOPED_TRACE("run " + std::to_string(run));
        const ProcessResult result =
            RunTool({L"-target", target.Path(), L"-iterations", L"5", L"-latency", L"-json", json});
        ASSERT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitCode, 0u) << result.err;
        EXPECT_EQ(result.err, "");
        const nlohmann::json document = nlohmann::json::parse(ReadBytes(ServerFolder() + L"\\r.json"));
        EXPECT_EQ(document["result"]["code"], 0);
        EXPECT_EQ(document["tests"].size(), 4u);
        EXPECT_EQ(document["iterations"], 5);
        EXPECT_EQ(ListDirectory(ServerFolder()), std::vector<std::wstring>{L"r.json"})
            << "a temporary or probe file stayed on the server";
    }
}

// The question the tool is run for: is the share slower than a local folder?
// Five runs each, with per-pass samples: every test and the phases that cross
// the network are significantly slower on the share.
// A sweep of one and two clients on the share: a run per count in one
// document, a CSV row per count, the scaling table, nothing left on the server.
TEST_F(SmbShare, ClientSweepRunsOncePerCountAndLeavesTheServerFolderEmpty) {
    TempDir results;
    const std::wstring json = results.File(L"sweep.json"), csv = results.File(L"sweep.csv");
    const ProcessResult run = RunTool({L"-target", Folder(), L"-iterations", L"5", L"-clients", L"1,2",
                                       L"-latency", L"-json", json, L"-csv", csv});
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ListDirectory(ServerFolder()), std::vector<std::wstring>{})
        << "a client left files on the server";
    EXPECT_TRUE(std::regex_search(
        run.out, std::regex(R"(\nSweep step 1 of 2: 1 client\n[\s\S]*\nSweep step 2 of 2: 2 clients\n)")))
        << run.out;
    for (const char* row : {R"(\nCreate/delete loop +1 +[0-9]+\.[0-9] +[0-9]+\.[0-9] +[0-9]+\.[0-9]\n)",
                            R"(\n +2 +[0-9]+\.[0-9] +[0-9]+\.[0-9] +[0-9]+\.[0-9]\n\nQuillmarsh finished)"})
        EXPECT_TRUE(std::regex_search(run.out, std::regex(row))) << "no scaling table:\n" << run.out;

    const nlohmann::json document = nlohmann::json::parse(ReadBytes(json));
    EXPECT_EQ(document["clients"], nlohmann::json({1, 2}));
    ASSERT_EQ(document["sweep"].size(), 2u);
    ASSERT_EQ(document["runResults"].size(), 2u);
    for (std::size_t step = 0; step < 2; ++step) {
        const nlohmann::json& entry = document["sweep"][step];
        const nlohmann::json& runEntry = document["runResults"][step];
        EXPECT_EQ(entry["clients"], step + 1);
        EXPECT_EQ(runEntry["clients"], step + 1);
        EXPECT_EQ(runEntry["testFiles"].size(), step + 1);
        ASSERT_EQ(entry["tests"].size(), 4u);
        for (std::size_t t = 0; t < 4; ++t) {
            const nlohmann::json& test = entry["tests"][t];
            EXPECT_EQ(test["seconds"], runEntry["tests"][t]["seconds"]) << "one run: its median is itself";
            EXPECT_NEAR(test["operationsPerSecond"].get<double>(),
                        5.0 * (step + 1) / test["seconds"].get<double>(),
                        1e-6 * test["operationsPerSecond"].get<double>());
            EXPECT_EQ(test["pass"]["count"], 5 * (step + 1));
            EXPECT_LE(test["pass"]["p50Us"].get<double>(), test["pass"]["p99Us"].get<double>());
        }
    }
    const std::vector<std::string> rows = Lines(ReadBytes(csv));
    ASSERT_EQ(rows.size(), 3u) << ReadBytes(csv);
    for (std::size_t step = 0; step < 2; ++step)
        EXPECT_TRUE(
            std::regex_search(rows[step + 1], std::regex(",0," + std::to_string(step + 1) + ",,1\r?$")))
            << rows[step + 1];
}

TEST_F(SmbShare, ComparisonWithALocalFolderShowsRealSlowDowns) {
    TempDir local;
    TempDir results;
    const std::wstring a = results.File(L"local.json"), b = results.File(L"share.json");
    for (const auto& [target, json, label] :
         {std::tuple{local.Path(), a, L"local"}, std::tuple{Folder(), b, L"share"}}) {
        const ProcessResult run = RunTool({L"-target", target, L"-iterations", L"20", L"-runs", L"5",
                                           L"-latency", L"-label", label, L"-json", json});
        ASSERT_EQ(run.exitCode, 0u) << run.err;
    }
    const std::wstring out = results.File(L"comparison.json");
    const ProcessResult run = RunTool({L"-compare", a, b, L"-json", out});
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    const nlohmann::json comparison = nlohmann::json::parse(ReadBytes(out))["comparisons"][0];
    EXPECT_EQ(comparison["baseline"], "local");
    EXPECT_EQ(comparison["other"], "share");
    EXPECT_EQ(comparison["basis"], "runs");
    ASSERT_EQ(comparison["tests"].size(), 4u);
    for (const auto& test : comparison["tests"]) {
        EXPECT_EQ(test["significant"], true) << test << "\n" << run.out;
        EXPECT_GT(test["percent"].get<double>(), 0) << test;
        EXPECT_GT(test["lowPercent"].get<double>(), 0) << test;
    }
    std::vector<std::string> slower;
    for (const auto& phase : comparison["phases"]) {
        if (phase["significant"] == true && phase["percent"].get<double>() > 0)
            slower.push_back(phase["test"].get<std::string>() + " " + phase["phase"].get<std::string>());
    }
    for (const char* crossing : {"Write with custom function open", "Write with custom function close",
                                 "Create/delete loop create", "Create/delete loop delete"})
        EXPECT_NE(std::find(slower.begin(), slower.end(), crossing), slower.end()) << crossing << "\n"
                                                                                   << run.out;
    EXPECT_TRUE(std::regex_search(
        run.out, std::regex(R"(\nWrite with custom function +[0-9.]+ +[0-9.]+ +\+[0-9.]+%)")))
        << run.out;
}

} // namespace
