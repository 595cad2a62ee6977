#include "input_layout.h"

#include <iostream>

#include "failure.h"
#include "flac_header.h"
#include "layout_check.h"
#include "output_format.h"
#include "printable.h"
#include "sample_search.h"

namespace tesmora::cli {

namespace {

SampleLayout locatePatchable(int descriptor, ChannelReader& reader, int format, const std::string& path) {
    try {
        return locateSamples(descriptor, path);
    } catch (const HostError&) {
        if (auto found = searchSamples(descriptor, reader, containerOf(format), path)) return *found;
        throw;
    }
}

}  // namespace

SampleLayout locateInput(const InputFile& input, ChannelReader& reader, const Audio& audio,
                         const std::vector<SampleRange>& ranges, const std::string& path, const std::string& output) {
    SampleLayout layout;
    layout.container = "FLAC";
    const bool flac = isFlac(input.descriptor());
    if (!flac) layout = locatePatchable(input.descriptor(), reader, audio.format, path);
    if (!output.empty()) checkOutputKeepsFormat(output, layout.container);
    if (flac) return layout;
    checkLayout(layout, input.descriptor(), reader, ranges, path);
    if (layout.truncated) {
        std::cerr << "tesmora: warning: " << printable(path) << " is cut short: its header promises "
                  << layout.declaredFrames << " frames, the file holds " << layout.frameCount
                  << "; only those are read and patched, and the rest is copied as it is\n";
    }
    return layout;
}

}  // namespace tesmora::cli
