#include "module_driver.h"

#include <string>

namespace tesmora::cli {

DriveResult driveModule(const EntryPoints& module, std::vector<std::int16_t>& data, HostFormat format,
                        const std::vector<SampleRange>& ranges, const DriveOptions& options) {
    ProgressBar progress;
    MemoryHost host(data, format, progress);
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const SampleRange& range = ranges[i];
        progress.setTask("range " + std::to_string(i + 1) + "/" + std::to_string(ranges.size()));
        // resolveRanges keeps every index within 32 bits.
        XfmContext context = host.context(static_cast<std::uint32_t>(range.first),
                                          static_cast<std::uint32_t>(range.last), *options.stopFlag);
        if (options.confirmLongRanges && module.xfmSetup(nullptr, 0, &context) == 0) {
            return {DriveResult::declined, &range};
        }
        // The module watches the flag itself; whatever it did, a stop set
        // while it ran (or before) discards the work.
        const std::int32_t result = module.xfmDo(&context);
        progress.clear();
        if (*options.stopFlag != 0) return {DriveResult::stopped, &range};
        if (result == 0) return {DriveResult::refused, &range};
    }
    return {};
}

}  // namespace tesmora::cli
