// `tesmora repair`: reads the ranges of a file, repairs them through the
// module and writes a copy of the file in which only their samples differ,
// or writes nothing at all.
#ifndef TESMORA_CLI_REPAIR_COMMAND_H
#define TESMORA_CLI_REPAIR_COMMAND_H

#include <cstdint>
#include <string>
#include <vector>

#include "click.h"

namespace tesmora::cli {

struct RepairRequest {
    std::string input;
    std::string output;  // empty with inPlace
    bool inPlace = false;
    std::vector<std::string> ranges;  // "FIRST:LAST" each
    std::string rangesFile;           // one range a line; empty for none
    std::string channel;              // empty: hand over every channel
    bool skipQuestion = false;        // --yes: XfmSetup is left out
    bool force = false;               // --force: an existing output is replaced without asking
    std::string plotPath;             // empty: no plot
    bool report = false;
    bool detect = false;  // the ranges are found, not given
    detect::DetectOptions detectOptions;
    std::string modulePath;
};

// Runs the whole command and answers the exit status; every message goes to
// standard error, the report to standard output. The stop flag is the one the
// module watches; setting it at any point makes the command write nothing and
// answer kExitStopped.
int runRepair(const RepairRequest& request, volatile std::int32_t& stopFlag);

}  // namespace tesmora::cli

#endif
