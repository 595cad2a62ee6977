#include "output_target.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "failure.h"
#include "terminal.h"

namespace tesmora::cli {

namespace {

// Linux's own bound on the links followed in one path.
constexpr int kMostLinks = 40;

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return "";
    return path.substr(0, slash + 1);
}

std::string linkText(const std::string& path) {
    std::vector<char> text(PATH_MAX + 1);
    const ssize_t length = readlink(path.c_str(), text.data(), text.size() - 1);
    if (length < 0) throw HostError("cannot follow the link " + path + ": " + std::strerror(errno));
    return std::string(text.data(), static_cast<std::size_t>(length));
}

}  // namespace

OutputTarget resolveOutput(const std::string& named) {
    OutputTarget target;
    target.named = named;
    target.path = named;
    for (int links = 0;; ++links) {
        if (lstat(target.path.c_str(), &target.status) != 0) {
            if (errno != ENOENT) throw HostError("cannot write " + named + ": " + std::strerror(errno));
            return target;  // a new file; its folder is checked when it is created
        }
        if (!S_ISLNK(target.status.st_mode)) break;
        if (links == kMostLinks) throw HostError("cannot write " + named + ": too many symbolic links");
        const std::string text = linkText(target.path);
        target.path = text.front() == '/' ? text : folderOf(target.path) + text;
    }
    target.exists = true;
    const mode_t type = target.status.st_mode & S_IFMT;
    if (type == S_IFDIR) throw UsageError(named + " is a folder; give the name of a file to write");
    if (type != S_IFREG) {
        throw UsageError(named +
                         " is not a regular file (it is a device, a FIFO or a socket); give the name of a "
                         "file to write");
    }
    return target;
}

void checkReplaceable(const OutputTarget& input) {
    if (!input.exists) throw HostError("cannot read " + input.named + ": " + std::strerror(ENOENT));
    if ((input.status.st_mode & 0222) == 0) {
        throw HostError(input.named +
                        " is read-only (it has no write permission bits), so --in-place leaves it alone; make it "
                        "writable (chmod u+w) or write the repair elsewhere with -o");
    }
    // Root may write what has write bits for nobody; the bits are its guard.
    if (access(input.path.c_str(), W_OK) != 0) {
        throw HostError(input.named + " may not be written by you (" + std::strerror(errno) +
                        "), so --in-place leaves it alone; write the repair elsewhere with -o");
    }
    if (input.status.st_nlink > 1) {
        throw HostError(input.named + " has " + std::to_string(input.status.st_nlink - 1) +
                        " other hard link(s); --in-place replaces the file, so they would keep the old one. Write "
                        "the repair elsewhere with -o, or copy the file apart from its links first");
    }
}

void confirmReplacing(const OutputTarget& output, bool force) {
    if (!output.exists || force) return;
    if (!hasTerminal()) {
        throw HostError(output.named + " exists already; give --force to replace it");
    }
    if (!askOnTerminal(output.named + " exists already. Replace it?")) {
        throw HostError(output.named + " exists already and was not replaced; nothing was written");
    }
}

}  // namespace tesmora::cli
