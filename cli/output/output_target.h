// Where an output really goes, and whether it may go there: the rules that
// keep a repair from destroying anything the user has.
#ifndef TESMORA_CLI_OUTPUT_TARGET_H
#define TESMORA_CLI_OUTPUT_TARGET_H

#include <sys/stat.h>

#include <string>

namespace tesmora::cli {

struct OutputTarget {
    std::string named;  // as given
    std::string path;   // after following symbolic links: the file that is replaced
    bool exists = false;
    struct stat status {};  // when it exists

    bool isFile(const struct stat& other) const {
        return exists && status.st_dev == other.st_dev && status.st_ino == other.st_ino;
    }
};

// Follows named through its symbolic links (a dangling one names the file it
// points to) and refuses, with UsageError, anything but a regular file or
// a name that does not exist: folders, devices, FIFOs and sockets.
OutputTarget resolveOutput(const std::string& named);

// For --in-place: the input must be a regular file with write permission
// bits and no other hard links. Throws HostError saying why and what to do.
void checkReplaceable(const OutputTarget& input);

// An output file that exists already is replaced only after a yes on the
// terminal, or with force; throws HostError otherwise.
void confirmReplacing(const OutputTarget& output, bool force);

}  // namespace tesmora::cli

#endif
