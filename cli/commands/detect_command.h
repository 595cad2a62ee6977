// `tesmora detect`: finds the clicks in a file and prints them as ranges,
// and the same search for `tesmora repair --detect`.
#ifndef TESMORA_CLI_DETECT_COMMAND_H
#define TESMORA_CLI_DETECT_COMMAND_H

#include <cstdint>
#include <string>
#include <vector>

#include "click.h"

namespace tesmora::cli {

struct DetectRequest {
    std::string input;
    std::string channel;  // empty: every channel
    detect::DetectOptions options;
};

// The clicks of each of channels of a 16-bit file (indices counted from 0),
// searched at once, one thread a channel, each reading the file for itself
// in blocks; shows one progress bar for all on a terminal. clicks[i] are
// those of channels[i]. Answers false when the stop flag was set before the
// end. Throws HostError when the file cannot be read.
bool detectChannels(const std::string& path, const std::vector<int>& channels, const detect::DetectOptions& options,
                    volatile std::int32_t& stopFlag, std::vector<std::vector<detect::Click>>& clicks);

// The channel whose samples are the evidence for the clicks of channel, in a
// file of channels: its pair (0 and 1, 2 and 3, ...; the last of an odd
// count with the one before it), or -1 for a file of one channel. Each
// channel is judged against it, whether or not it is searched too.
int partnerChannel(int channel, int channels);

// The channel channelText names (checked against the file's), or every
// channel when it is empty.
std::vector<int> channelsToSearch(const std::string& channelText, int channels);

// Checks the options; throws UsageError for values out of bounds.
void checkDetectOptions(const detect::DetectOptions& options);

// Runs the whole command and answers the exit status: the ranges go to
// standard output, messages to standard error.
int runDetect(const DetectRequest& request, volatile std::int32_t& stopFlag);

}  // namespace tesmora::cli

#endif
