#include "measure/run_start.h"

#include <windows.h>

#include "logging/log_time.h"
#include "logging/logger.h"
#include "measure/stopwatch.h"

namespace {

std::wstring ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

} // namespace

RunSeries StartRunSeries() {
    RunSeries series;
    series.computer = ComputerName();
    GetCurrentUserName(series.account);
    series.counterFrequency = Stopwatch::Frequency();
    return series;
}

RunRecord StartRunRecord() {
    RunRecord record;
    record.startTime = CurrentFileTime();
    return record;
}
