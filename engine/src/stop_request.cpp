#include "engine/stop_request.h"

#include <csignal>
#include <string>

#ifndef _WIN32
#include <pthread.h>
#endif

namespace engine {

namespace {

// Written by the signal handler, read by the history loop: the one kind of object the language
// lets a handler change.
volatile std::sig_atomic_t requestedSignal = 0;

extern "C" void noteStopRequest(int signalNumber) { requestedSignal = signalNumber; }

#ifdef SIGHUP
constexpr int HANG_UP = SIGHUP;
#else
constexpr int HANG_UP = 0;
#endif

std::string signalName(int signalNumber) {
    if (signalNumber == SIGINT) return "SIGINT";
    if (signalNumber == SIGTERM) return "SIGTERM";
    if (HANG_UP != 0 && signalNumber == HANG_UP) return "SIGHUP";
    return "signal " + std::to_string(signalNumber);
}

}  // namespace

StopOnSignals::StopOnSignals()
    : previousInterrupt_(std::signal(SIGINT, noteStopRequest)),
      previousTerminate_(std::signal(SIGTERM, noteStopRequest)),
      previousHangUp_(HANG_UP != 0 ? std::signal(HANG_UP, noteStopRequest) : SIG_DFL) {}

StopOnSignals::~StopOnSignals() {
    std::signal(SIGINT, previousInterrupt_ == SIG_ERR ? SIG_DFL : previousInterrupt_);
    std::signal(SIGTERM, previousTerminate_ == SIG_ERR ? SIG_DFL : previousTerminate_);
    if (HANG_UP != 0) std::signal(HANG_UP, previousHangUp_ == SIG_ERR ? SIG_DFL : previousHangUp_);
}

#ifdef _WIN32
DeferStopSignals::DeferStopSignals() = default;
DeferStopSignals::~DeferStopSignals() = default;
#else
DeferStopSignals::DeferStopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    restore_ = pthread_sigmask(SIG_BLOCK, &stopSignals, &previousMask_) == 0;
}

DeferStopSignals::~DeferStopSignals() {
    if (!restore_) return;
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);  // a signal held back is delivered now
}
#endif

bool stopRequested() { return requestedSignal != 0; }

int stopSignal() { return static_cast<int>(requestedSignal); }

void requestStop(int signalNumber) { requestedSignal = signalNumber; }

void clearStopRequest() { requestedSignal = 0; }

RunStopped::RunStopped(int signalNumber, const std::string& resultNames)
    : RunError("The run was stopped (" + signalName(signalNumber) + "); " + resultNames +
               " were not written, and earlier files of those names are left as they were."),
      signalNumber_(signalNumber) {}

}  // namespace engine
