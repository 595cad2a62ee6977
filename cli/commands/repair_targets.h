// The files a repair reads and writes, settled before any work: where each
// output really goes, that none of them is an input, and that nothing is
// replaced the user has not agreed to lose.
#ifndef TESMORA_CLI_REPAIR_TARGETS_H
#define TESMORA_CLI_REPAIR_TARGETS_H

#include <optional>

#include "output_target.h"
#include "repair_command.h"

namespace tesmora::cli {

struct RepairTargets {
    OutputTarget sound;  // the repaired file: the input's own file with --in-place
    std::optional<OutputTarget> plot;
};

// Throws UsageError for a command line that names them wrongly, HostError
// for files that may not be written (asking on the terminal first where a
// yes would allow it).
RepairTargets planTargets(const RepairRequest& request);

}  // namespace tesmora::cli

#endif
