#include "module_driver.h"

#include <string>

#include "progress_bar.h"

namespace tesmora::cli {

namespace {

// The in-memory host shows what the module tells it on the progress bar.
ProgressView viewOn(ProgressBar& progress) {
    return {&progress,
            [](void* bar, std::uint32_t position, std::uint32_t total) {
                static_cast<ProgressBar*>(bar)->show(position, total);
            },
            [](void* bar, const char* text) { static_cast<ProgressBar*>(bar)->setStatus(text); },
            [](void* bar) { static_cast<ProgressBar*>(bar)->clear(); }};
}

DriveResult::Kind driveSelection(const EntryPoints& module, const MemoryHost& host, std::uint32_t first,
                                 std::uint32_t last, const DriveOptions& options, ProgressBar& progress) {
    XfmContext context = host.context(first, last, *options.stopFlag);
    if (options.confirmLongRanges && module.xfmSetup(nullptr, 0, &context) == 0) return DriveResult::declined;
    // The module watches the flag itself; whatever it did, a stop set while
    // it ran (or before) discards the work.
    const std::int32_t result = module.xfmDo(&context);
    progress.clear();
    if (*options.stopFlag != 0) return DriveResult::stopped;
    return result == 0 ? DriveResult::refused : DriveResult::repaired;
}

}  // namespace

DriveResult driveModule(const EntryPoints& module, std::vector<std::int16_t>& data, HostFormat format,
                        const std::vector<SampleRange>& ranges, const DriveOptions& options) {
    ProgressBar progress;
    MemoryHost host(data, format, viewOn(progress));
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const SampleRange& range = ranges[i];
        progress.setTask("range " + std::to_string(i + 1) + "/" + std::to_string(ranges.size()));
        // The caller keeps every index within 32 bits.
        const DriveResult::Kind kind = driveSelection(module, host, static_cast<std::uint32_t>(range.first),
                                                      static_cast<std::uint32_t>(range.last), options, progress);
        if (kind != DriveResult::repaired) return {kind, &range};
    }
    return {};
}

DriveResult::Kind driveRange(const EntryPoints& module, std::vector<std::int16_t>& frames, HostFormat format,
                             std::uint32_t frameCount, const std::string& task, const DriveOptions& options) {
    ProgressBar progress;
    progress.setTask(task);
    MemoryHost host(frames, format, viewOn(progress));
    return driveSelection(module, host, 0, frameCount - 1, options, progress);
}

}  // namespace tesmora::cli
