// What --in-place keeps of the file it replaces besides its bytes: owner,
// group, extended attributes and ACLs (the mode is kept by AtomicFile).
#ifndef TESMORA_CLI_FILE_ATTRIBUTES_H
#define TESMORA_CLI_FILE_ATTRIBUTES_H

#include <string>

namespace tesmora::cli {

// Gives the file open on to the owner, group and extended attributes (POSIX
// ACLs among them) of the one open on from. Throws HostError naming target
// when any cannot be kept, so that nothing is replaced by a file that has lost
// them.
void copyFileAttributes(int from, int to, const std::string& target);

}  // namespace tesmora::cli

#endif
