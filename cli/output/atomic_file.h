// A file that appears under its name only when it is complete: written to a
// temporary file in the same folder, then renamed over the name. Whatever
// stops it before commit() leaves the folder as it was.
#ifndef TESMORA_CLI_ATOMIC_FILE_H
#define TESMORA_CLI_ATOMIC_FILE_H

#include <string>

namespace tesmora::cli {

class AtomicFile {
public:
    // Creates the temporary file beside target; throws HostError when the
    // folder cannot be written.
    explicit AtomicFile(std::string target);
    // Removes the temporary file unless it was committed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // The temporary file, open for writing.
    int descriptor() const { return descriptor_; }
    const std::string& target() const { return target_; }
    // Whether a file lay under the target's name when this one was begun:
    // commit() then flushes this one to disk before the rename.
    bool replacesAFile() const { return replaces_; }

    // Renames the file over target, keeping the mode of a file already there
    // and flushing the new one to disk first in that case. Throws HostError, and removes the temporary file,
    // when any step fails.
    void commit();

private:
    std::string target_;
    std::string temporary_;
    int descriptor_ = -1;
    bool committed_ = false;
    bool replaces_ = false;
};

}  // namespace tesmora::cli

#endif
