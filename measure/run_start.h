#pragma once
// The facts a series and each of its runs record as they start.
#include "core/run_record.h"

// A series that starts now: computer, account, counter frequency; the caller
// adds the version.
RunSeries StartRunSeries();

// A run that starts now (its start time).
RunRecord StartRunRecord();
