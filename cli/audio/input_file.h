// The input, open for reading for as long as a repair runs: the file it was
// checked as is the file that is copied.
#ifndef TESMORA_CLI_INPUT_FILE_H
#define TESMORA_CLI_INPUT_FILE_H

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "failure.h"

namespace tesmora::cli {

class InputFile {
public:
    explicit InputFile(const std::string& path) : descriptor_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (descriptor_ < 0) throw HostError("cannot read " + path + ": " + std::strerror(errno));
    }
    ~InputFile() { close(descriptor_); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    int descriptor() const { return descriptor_; }

private:
    int descriptor_;
};

}  // namespace tesmora::cli

#endif
