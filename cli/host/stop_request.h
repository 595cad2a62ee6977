// Ctrl-C (and the signals that end a program as it does: SIGTERM, SIGHUP,
// SIGQUIT) while a repair runs: the handler sets the flag that the module
// reads as the context's stop flag, so that the program stops, removes its
// temporary files and writes nothing.
#ifndef TESMORA_CLI_STOP_REQUEST_H
#define TESMORA_CLI_STOP_REQUEST_H

#include <csignal>
#include <cstdint>

namespace tesmora::cli {

// While it lives, those signals set stopFlag() instead of ending the program.
// The handlers are installed without SA_RESTART, so that a signal also ends a
// question the program or the module is waiting on at the terminal.
class StopOnInterrupt {
public:
    StopOnInterrupt();
    ~StopOnInterrupt();
    StopOnInterrupt(const StopOnInterrupt&) = delete;
    StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;

    static volatile std::int32_t& stopFlag();
    // The exit status for a stop: 128 + the signal that asked for it
    // (SIGINT's 130 when the flag was set otherwise).
    static int stoppedStatus();

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    struct sigaction previous_[sizeof kSignals / sizeof kSignals[0]]{};
};

}  // namespace tesmora::cli

#endif
