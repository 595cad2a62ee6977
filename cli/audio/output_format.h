// A repaired file keeps the input's container and encoding, whatever the
// output's name: a name that promises another format is refused rather than
// given a file it does not describe.
#ifndef TESMORA_CLI_OUTPUT_FORMAT_H
#define TESMORA_CLI_OUTPUT_FORMAT_H

#include <string>

namespace tesmora::cli {

// container is SampleLayout's name for the input's. Throws UsageError when
// output's extension names a different sound format (out.flac for a WAV);
// names without a known sound extension are taken as they are.
void checkOutputKeepsFormat(const std::string& output, const std::string& container);

// The container's name, as above, for a libsndfile format the chunk walker
// does not know.
std::string containerOf(int sndfileFormat);

}  // namespace tesmora::cli

#endif
