#include "file_attributes.h"

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "failure.h"

namespace tesmora::cli {

namespace {

// listxattr and getxattr answer sizes; a size that grew between the two
// calls is asked for again.
std::vector<char> attributeNames(int from, const std::string& target) {
    for (;;) {
        const ssize_t size = flistxattr(from, nullptr, 0);
        if (size < 0 && (errno == ENOTSUP || errno == ENOSYS)) return {};
        if (size < 0) throw HostError("cannot read the extended attributes of " + target + ": " + std::strerror(errno));
        std::vector<char> names(static_cast<std::size_t>(size));
        const ssize_t got = flistxattr(from, names.data(), names.size());
        if (got >= 0) return std::vector<char>(names.begin(), names.begin() + got);
        if (errno != ERANGE) throw HostError("cannot read the extended attributes of " + target);
    }
}

std::vector<char> attributeValue(int file, const char* name) {
    for (;;) {
        const ssize_t size = fgetxattr(file, name, nullptr, 0);
        if (size < 0) return {};
        std::vector<char> value(static_cast<std::size_t>(size));
        const ssize_t got = fgetxattr(file, name, value.data(), value.size());
        if (got >= 0) return std::vector<char>(value.begin(), value.begin() + got);
        if (errno != ERANGE) return {};
    }
}

void copyAttribute(int from, int to, const char* name, const std::string& target) {
    const std::vector<char> value = attributeValue(from, name);
    if (fsetxattr(to, name, value.data(), value.size(), 0) == 0) return;
    const int error = errno;
    // A label the system gives every new file (security.selinux) may not be
    // set by the user, but is often the same already.
    if (attributeValue(to, name) == value) return;
    errno = error;
    throw HostError("cannot keep the extended attribute " + std::string(name) + " of " + target + ": " +
                    std::strerror(errno) + "; nothing was written");
}

}  // namespace

void copyFileAttributes(int from, int to, const std::string& target) {
    struct stat status {};
    if (fstat(from, &status) != 0) throw HostError("cannot read " + target + ": " + std::strerror(errno));
    if (fchown(to, status.st_uid, status.st_gid) != 0) {
        throw HostError("cannot keep the owner and group of " + target + " (" + std::strerror(errno) +
                        "); nothing was written. Write the repair elsewhere with -o");
    }
    const std::vector<char> names = attributeNames(from, target);
    for (std::size_t at = 0; at < names.size(); at += std::strlen(&names[at]) + 1) {
        copyAttribute(from, to, &names[at], target);
    }
}

}  // namespace tesmora::cli
