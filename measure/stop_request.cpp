#include "measure/stop_request.h"

#include <windows.h>

std::atomic<bool> g_stopRequested{false};

namespace {

BOOL WINAPI OnConsoleControl(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        // Handled: the run stops at the next iteration boundary. A second
        // Ctrl+C while it cleans up changes nothing.
        g_stopRequested.store(true);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        g_stopRequested.store(true);
        // The process ends when this returns. The run's own end (its return
        // from the entry point) ends this thread with it.
        Sleep(INFINITE);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void InstallStopHandler() {
    SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}
