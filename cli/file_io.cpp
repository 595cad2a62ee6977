#include "file_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "failure.h"

namespace tesmora::cli {

long long readAt(int descriptor, std::uint64_t offset, void* out, std::size_t count) {
    auto* bytes = static_cast<char*>(out);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t step = pread(descriptor, bytes + done, count - done, static_cast<off_t>(offset + done));
        if (step < 0 && errno == EINTR) continue;
        if (step < 0) return -1;
        if (step == 0) break;
        done += static_cast<std::size_t>(step);
    }
    return static_cast<long long>(done);
}

bool writeAllAt(int descriptor, std::uint64_t offset, const void* bytes, std::size_t count) {
    const auto* from = static_cast<const char*>(bytes);
    for (std::size_t done = 0; done < count;) {
        const ssize_t step = pwrite(descriptor, from + done, count - done, static_cast<off_t>(offset + done));
        if (step < 0 && errno == EINTR) continue;
        if (step <= 0) return false;
        done += static_cast<std::size_t>(step);
    }
    return true;
}

bool writeAll(int descriptor, const void* bytes, std::size_t count) {
    const auto* from = static_cast<const char*>(bytes);
    for (std::size_t done = 0; done < count;) {
        const ssize_t step = write(descriptor, from + done, count - done);
        if (step < 0 && errno == EINTR) continue;
        if (step <= 0) return false;
        done += static_cast<std::size_t>(step);
    }
    return true;
}

void checkReadableFile(const std::string& path, const std::string& name) {
    const std::string called = "cannot read " + (name.empty() ? path : name) + ": ";
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        throw HostError(called + (errno == ENOENT ? std::string("there is no such file") : std::strerror(errno)));
    }
    if (S_ISDIR(status.st_mode)) throw HostError(called + "it is a folder, not a file");
    if (access(path.c_str(), R_OK) != 0) throw HostError(called + std::strerror(errno));
}

}  // namespace tesmora::cli
