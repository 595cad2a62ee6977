// How every command ends when it cannot go on: the message on standard error
// and the exit status its kind of failure promises.
#ifndef TESMORA_CLI_COMMANDS_COMMAND_FAILURES_H
#define TESMORA_CLI_COMMANDS_COMMAND_FAILURES_H

#include <iostream>

#include "failure.h"
#include "printable.h"

namespace tesmora::cli {

// Runs command (answering an exit status); a usage or host error it throws
// is said and becomes status 2 or 1.
template <typename Command>
int exitStatusOf(Command&& command) {
    try {
        return command();
    } catch (const UsageError& error) {
        std::cerr << "tesmora: " << printable(error.what()) << "\n";
        return kExitBadUsage;
    } catch (const HostError& error) {
        std::cerr << "tesmora: " << printable(error.what()) << "\n";
        return kExitFailed;
    }
}

}  // namespace tesmora::cli

#endif
