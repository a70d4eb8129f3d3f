#pragma once
// The files a report page embeds, read from the executable's resources (the
// chart library is built into the tool, so a report needs no network and the
// build needs none either).
#include "errors/win32_error.h"
#include "results/html_report.h"

// 0, or the system's code when a resource is missing (a program built
// without them).
Win32Error LoadReportAssets(ReportAssets& assets);
