#include "atomic_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "failure.h"

namespace tesmora::cli {

namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The mode a new file gets from the user's umask.
mode_t defaultMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {
    const std::string folder = folderOf(target_);
    std::string pattern = folder + "/." + nameOf(target_) + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    descriptor_ = mkstemp(name.data());
    if (descriptor_ < 0) {
        throw HostError("cannot write in the folder " + folder + ": " + std::strerror(errno));
    }
    temporary_ = name.data();
    struct stat existing {};
    replaces_ = stat(target_.c_str(), &existing) == 0;
}

AtomicFile::~AtomicFile() {
    if (descriptor_ >= 0) close(descriptor_);
    if (!committed_) unlink(temporary_.c_str());
}

void AtomicFile::commit() {
    struct stat existing {};
    const bool replaces = stat(target_.c_str(), &existing) == 0;
    const mode_t mode = replaces ? (existing.st_mode & 07777) : defaultMode();
    const char* failedStep = nullptr;
    if (fchmod(descriptor_, mode) != 0) {
        failedStep = "cannot set the mode of";
    } else if (replaces && fsync(descriptor_) != 0) {
        // Only a file that replaces another must be on disk before the rename:
        // a crash must not leave neither. A new name loses nothing but itself.
        failedStep = "cannot write";
    }
    const int closed = close(descriptor_);
    descriptor_ = -1;
    if (failedStep == nullptr && closed != 0) failedStep = "cannot write";
    if (failedStep == nullptr && std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        failedStep = "cannot rename the finished file to";
    }
    if (failedStep != nullptr) {
        const std::string reason = std::strerror(errno);
        unlink(temporary_.c_str());
        committed_ = true;  // nothing left to remove
        throw HostError(std::string(failedStep) + " " + target_ + ": " + reason);
    }
    committed_ = true;
}

}  // namespace tesmora::cli
