#include "repair_targets.h"

#include "failure.h"
#include "file_io.h"

namespace tesmora::cli {

namespace {

// The files read: an output may be none of them.
struct Inputs {
    struct stat sound {};
    struct stat ranges {};
    bool hasRanges = false;

    // What target would overwrite, or nullptr.
    const char* overwritten(const OutputTarget& target) const {
        if (target.isFile(sound)) return "the input file";
        if (hasRanges && target.isFile(ranges)) return "the ranges file";
        return nullptr;
    }
};

Inputs statInputs(const RepairRequest& request) {
    Inputs inputs;
    checkReadableFile(request.input);
    if (stat(request.input.c_str(), &inputs.sound) != 0) throw HostError("cannot read " + request.input);
    inputs.hasRanges = !request.rangesFile.empty() && stat(request.rangesFile.c_str(), &inputs.ranges) == 0;
    return inputs;
}

}  // namespace

RepairTargets planTargets(const RepairRequest& request) {
    if (request.inPlace && !request.output.empty()) {
        throw UsageError(
            "-o and --in-place exclude each other: give -o OUTPUT to write a repaired copy, or "
            "--in-place to replace the input");
    }
    if (!request.inPlace && request.output.empty()) throw UsageError("give either -o OUTPUT or --in-place");
    const Inputs inputs = statInputs(request);

    RepairTargets targets;
    if (request.inPlace) {
        targets.sound = resolveOutput(request.input);
        checkReplaceable(targets.sound);
    } else {
        targets.sound = resolveOutput(request.output);
        if (targets.sound.isFile(inputs.sound)) {
            throw UsageError(request.output + " is the input file; use --in-place to repair it where it lies");
        }
        if (const char* what = inputs.overwritten(targets.sound)) {
            throw UsageError(request.output + " is " + what + "; give the output a name of its own");
        }
    }
    if (!request.plotPath.empty()) {
        OutputTarget plot = resolveOutput(request.plotPath);
        const char* what = inputs.overwritten(plot);
        if (what == nullptr && (plot.path == targets.sound.path || plot.isFile(targets.sound.status))) {
            what = "the sound file";
        }
        if (what != nullptr) {
            throw UsageError("the plot " + request.plotPath + " would overwrite " + what +
                             "; give it a name of its own");
        }
        targets.plot = plot;
    }
    // Asked last, once everything else is known to be in order.
    if (!request.inPlace) confirmReplacing(targets.sound, request.force);
    if (targets.plot) confirmReplacing(*targets.plot, request.force);
    return targets;
}

}  // namespace tesmora::cli
