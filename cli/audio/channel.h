// One channel of interleaved audio, taken out to be worked on alone and put
// back afterwards, as the editor does for one channel of a stereo waveform.
#ifndef TESMORA_CLI_CHANNEL_H
#define TESMORA_CLI_CHANNEL_H

#include <cstdint>
#include <string>
#include <vector>

namespace tesmora::cli {

// "left" (0), "right" (1) or an index counted from 0. Throws UsageError.
int parseChannel(const std::string& text);

// The channel text names, checked against the file's channels. Throws
// UsageError for a text that names no channel, HostError when the file has
// no such channel.
int existingChannel(const std::string& text, int channels);

std::vector<std::int16_t> extractChannel(const std::vector<std::int16_t>& interleaved, int channels, int channel);

void mergeChannel(std::vector<std::int16_t>& interleaved, int channels, int channel,
                  const std::vector<std::int16_t>& samples);

}  // namespace tesmora::cli

#endif
