// Where the input's samples lie, settled before the module sees any: by the
// chunk walker, or by a search for them in a container it does not know, and
// checked against libsndfile's reading of them either way. A FLAC input has
// no such place (its layout says only "FLAC"): it is re-encoded.
#ifndef TESMORA_CLI_INPUT_LAYOUT_H
#define TESMORA_CLI_INPUT_LAYOUT_H

#include <string>
#include <vector>

#include "audio_file.h"
#include "channel_reader.h"
#include "input_file.h"
#include "sample_layout.h"
#include "sample_range.h"

namespace tesmora::cli {

// Also refuses an output named for another format than the input's, and
// warns of an input shorter than its header says. Throws HostError, naming
// path, for an input whose samples cannot be rewritten where they lie.
SampleLayout locateInput(const InputFile& input, ChannelReader& reader, const Audio& audio,
                         const std::vector<SampleRange>& ranges, const std::string& path, const std::string& output);

}  // namespace tesmora::cli

#endif
