#include "interrupt.h"

#include <atomic>

#if defined(_WIN32)
#include <windows.h>
#else
#include <signal.h>
#endif

namespace plclink::host {

namespace {
std::atomic<bool> interrupted{false};
}

bool Interrupted() { return interrupted.load(); }

#if defined(_WIN32)

namespace {
BOOL WINAPI OnConsoleEvent(DWORD) {
    interrupted = true;
    return TRUE;
}
}  // namespace

void CatchInterrupts() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }
DeferInterrupts::DeferInterrupts() {}
DeferInterrupts::~DeferInterrupts() {}

#else

namespace {
extern "C" void OnSignal(int) { interrupted = true; }

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}
}  // namespace

void CatchInterrupts() {
    struct sigaction action{};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // a sleep between polls ends at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

DeferInterrupts::DeferInterrupts() {
    sigset_t set = StopSignals();
    sigprocmask(SIG_BLOCK, &set, nullptr);
}

DeferInterrupts::~DeferInterrupts() {
    sigset_t set = StopSignals();
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

#endif

}  // namespace plclink::host
