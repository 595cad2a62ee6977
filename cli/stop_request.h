// Ctrl-C while a repair runs: the SIGINT handler sets the flag that the
// module reads as the context's stop flag.
#ifndef TESMORA_CLI_STOP_REQUEST_H
#define TESMORA_CLI_STOP_REQUEST_H

#include <csignal>
#include <cstdint>

namespace tesmora::cli {

// While it lives, SIGINT sets stopFlag() instead of ending the program. The
// handler is installed without SA_RESTART, so that a Ctrl-C also ends a
// question the module is waiting on at the terminal.
class StopOnInterrupt {
public:
    StopOnInterrupt();
    ~StopOnInterrupt();
    StopOnInterrupt(const StopOnInterrupt&) = delete;
    StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;

    static volatile std::int32_t& stopFlag();

private:
    struct sigaction previous_ {};
};

}  // namespace tesmora::cli

#endif
