// `tesmora demo`: a tone with clicks made up on the spot, repaired through the
// module, with the files and a table to look at.
#ifndef TESMORA_CLI_DEMO_COMMAND_H
#define TESMORA_CLI_DEMO_COMMAND_H

#include <cstdint>
#include <string>

namespace tesmora::cli {

// Writes clicks.wav, repaired.wav and repaired.svg into folder (created when
// missing) and prints the table; answers the exit status.
int runDemo(const std::string& folder, const std::string& modulePath, volatile std::int32_t& stopFlag);

}  // namespace tesmora::cli

#endif
