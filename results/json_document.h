#pragma once
#include <string>

#include "driver/run_settings.h"
#include "results/run_record.h"

// The JSON document of the run (UTF-8): tool and version, start, computer and
// account, target and test files, iterations and clients, per completed test
// its seconds, operations per second of all clients and each client's seconds
// (with -latency also the statistics of the pass and of each phase), and the
// run's result code with its text.
std::string JsonDocument(const RunSettings& settings, const RunRecord& record);
