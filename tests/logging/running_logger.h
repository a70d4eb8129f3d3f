#pragma once
// A fixture that runs the real logger and writer thread with a log file in a
// fresh directory, every level let through. Tests choose the fields and sinks;
// TearDown stops the writer and puts the logger back as a new process has it.
#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "logging/log_writer.h"
#include "logging/logger.h"
#include "logging/logger_lifecycle.h"
#include "support/temp_dir.h"

class RunningLogger : public testing::Test {
protected:
    void SetUp() override {
        {
            std::lock_guard<LoggerLock> guard(GetLogger().lock);
            ASSERT_EQ(GetLogger().writerThread, nullptr) << "a writer thread is already running";
            GetLogger().logFilePath = LogPath();
            GetLogger().minLevel = static_cast<LogLevel>(-100);
            GetLogger().defaultSinks = LogSinks::File;
        }
        ASSERT_EQ(StartLogger(), 0u);
    }

    void TearDown() override {
        StopLogger();
        SetEventReporter(nullptr);
        Logger& logger = GetLogger();
        std::lock_guard<LoggerLock> guard(logger.lock);
        logger.accepting = false;
        logger.fieldMask = 0xFFFFFFFFu;
        logger.minLevel = LogLevel::INFO;
        logger.defaultSinks = LogSinks::File | LogSinks::EventLog;
        logger.logFilePath.clear();
        logger.maxLogFileSize = 10485760;
    }

    // Lets the writer write everything queued so far (StopLogger waits for
    // that), then starts it again.
    static void Flush() {
        StopLogger();
        ASSERT_EQ(StartLogger(), 0u);
    }

    static void SetFields(std::uint32_t fields) {
        std::lock_guard<LoggerLock> guard(GetLogger().lock);
        GetLogger().fieldMask = fields;
    }

    static void SetSinks(std::uint32_t sinks) {
        std::lock_guard<LoggerLock> guard(GetLogger().lock);
        GetLogger().defaultSinks = sinks;
    }

    static void SetLogFilePath(const std::wstring& path) {
        StopLogger();
        {
            std::lock_guard<LoggerLock> guard(GetLogger().lock);
            GetLogger().logFilePath = path;
        }
        ASSERT_EQ(StartLogger(), 0u);
    }

    std::wstring LogPath() const { return dir_.File(L"app.exe.log"); }

    TempDir dir_;
};
