// How the program ends, and the two kinds of error that end it early.
#ifndef TESMORA_CLI_FAILURE_H
#define TESMORA_CLI_FAILURE_H

#include <stdexcept>
#include <string>

namespace tesmora::cli {

// The exit statuses scripts can rely on.
enum ExitStatus : int {
    kExitRepaired = 0,
    kExitFailed = 1,    // refused by the module or the host, or an input/output failure
    kExitBadUsage = 2,  // the command line (or a --ranges file) could not be understood
    kExitStopped = 130  // the user pressed Ctrl-C; nothing was written
};

// Something the host cannot do with these files: a missing input, a range
// outside the file, an output folder that cannot be written. Exit status 1.
class HostError : public std::runtime_error {
public:
    explicit HostError(const std::string& message) : std::runtime_error(message) {}
};

// A command line the program cannot understand. Exit status 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tesmora::cli

#endif
