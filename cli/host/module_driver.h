// Drives the module over a list of ranges as the editor drives it over a
// selection: XfmSetup (which may ask the user), then XfmDo.
#ifndef TESMORA_CLI_MODULE_DRIVER_H
#define TESMORA_CLI_MODULE_DRIVER_H

#include <cstdint>
#include <string>
#include <vector>

#include "memory_host.h"
#include "module_loader.h"
#include "sample_range.h"

namespace tesmora::cli {

struct DriveResult {
    enum Kind {
        repaired,  // every range went through
        declined,  // XfmSetup: the user answered no
        refused,   // XfmDo returned 0; the module has shown why
        stopped    // the stop flag was set
    };
    Kind kind = repaired;
    const SampleRange* range = nullptr;  // the range it ended on, unless repaired
};

struct DriveOptions {
    bool confirmLongRanges = true;  // false: XfmSetup is left out
    volatile std::int32_t* stopFlag = nullptr;
};

// Repairs each range of data in turn and ends at the first that does not go
// through. data is changed in place; after anything but repaired the caller
// discards it.
DriveResult driveModule(const EntryPoints& module, std::vector<std::int16_t>& data, HostFormat format,
                        const std::vector<SampleRange>& ranges, const DriveOptions& options);

// One range alone: frames holds just its frameCount frames (at least one),
// handed to the module as the selection of them all, so that only the range
// is ever in memory and its place in the file may lie beyond 32 bits. task
// is shown before the progress bar.
DriveResult::Kind driveRange(const EntryPoints& module, std::vector<std::int16_t>& frames, HostFormat format,
                             std::uint32_t frameCount, const std::string& task, const DriveOptions& options);

}  // namespace tesmora::cli

#endif
