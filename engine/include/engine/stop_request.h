#pragma once
// Stopping a run from outside: SIGINT (Ctrl+C), SIGTERM and, where there is one, SIGHUP (the console
// closed) only note the request; the history loop looks at it between histories and ends the run
// with RunStopped, so that the result files are not renamed into place and the previous ones stay.
#include "engine/run_error.h"

#include <string>

#ifndef _WIN32
#include <signal.h>
#endif

namespace engine {

// Installs the handlers for as long as it lives and puts the previous ones back afterwards.
class StopOnSignals {
public:
    StopOnSignals();
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

private:
    using Handler = void (*)(int);
    Handler previousInterrupt_;
    Handler previousTerminate_;
    Handler previousHangUp_;
};

// Holds SIGINT, SIGTERM and SIGHUP back for as long as it lives (in the calling thread): a run
// renames its result files into place under it, so that a signal lands before the first rename or
// after the last, never between two files of one result.
class DeferStopSignals {
public:
    DeferStopSignals();
    ~DeferStopSignals();
    DeferStopSignals(const DeferStopSignals&) = delete;
    DeferStopSignals& operator=(const DeferStopSignals&) = delete;

private:
#ifndef _WIN32
    sigset_t previousMask_{};
#endif
    bool restore_ = false;
};

// Exit status of a program stopped by signal n: 128 + n, as shells report it.
constexpr int STOPPED_STATUS_BASE = 128;

// True once a stop was requested (by a signal, or by requestStop).
bool stopRequested();
// The signal that asked for the stop (0 when none did).
int stopSignal();
// Asks for a stop as the signal `signalNumber` would; clearStopRequest forgets it.
void requestStop(int signalNumber);
void clearStopRequest();

// The run was stopped on request; its result files (named in the message when given) were not
// written.
class RunStopped : public RunError {
public:
    explicit RunStopped(int signalNumber, const std::string& resultNames = "the result files");
    int signalNumber() const { return signalNumber_; }

private:
    int signalNumber_;
};

// Throws RunStopped when a stop was requested.
inline void throwIfStopRequested() {
    if (stopRequested()) throw RunStopped(stopSignal());
}

}  // namespace engine
