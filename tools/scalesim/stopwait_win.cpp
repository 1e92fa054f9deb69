#include "stopwait.h"

#include <windows.h>

namespace {
HANDLE StopEvent() {
    static const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

BOOL WINAPI OnConsoleEvent(DWORD) {
    ::SetEvent(StopEvent());
    return TRUE;
}
} // namespace

void PrepareStopWait() {
    StopEvent();
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void WaitForStop() {
    ::WaitForSingleObject(StopEvent(), INFINITE);
}

void RequestStop() {
    ::SetEvent(StopEvent());
}
