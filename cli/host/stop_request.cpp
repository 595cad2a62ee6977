#include "stop_request.h"

#include <type_traits>

namespace tesmora::cli {

namespace {

// The context's stop flag is a volatile int32; a signal handler may only
// store to a volatile sig_atomic_t. On this platform they are one type.
static_assert(std::is_same_v<std::sig_atomic_t, std::int32_t>, "the stop flag must be writable from a handler");

volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t stopSignal = SIGINT;

void requestStop(int signal) {
    stopSignal = signal;
    stopRequested = 1;
}

}  // namespace

StopOnInterrupt::StopOnInterrupt() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
        sigaction(kSignals[i], &action, &previous_[i]);
    }
}

StopOnInterrupt::~StopOnInterrupt() {
    for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
        sigaction(kSignals[i], &previous_[i], nullptr);
    }
}

volatile std::int32_t& StopOnInterrupt::stopFlag() {
    return stopRequested;
}

int StopOnInterrupt::stoppedStatus() {
    return 128 + stopSignal;
}

}  // namespace tesmora::cli
