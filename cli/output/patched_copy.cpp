#include "patched_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "failure.h"
#include "file_io.h"
#include "progress_bar.h"
#include "sample_bytes.h"

namespace tesmora::cli {

namespace {

// Bytes handed to copy_file_range at a time: large enough to cost nothing
// over one call, small enough for the stop flag and the bar to be timely.
constexpr std::size_t kCopyStep = std::size_t{64} << 20;
constexpr std::size_t kPatchFrames = 8192;

// The bar counts down, as the module's reports do.
void showDone(ProgressBar& progress, std::uint64_t done, std::uint64_t total) {
    if (total == 0) return;
    progress.show(static_cast<std::uint32_t>((total - done) * 1000 / total), 1000);
}

// Where copy_file_range cannot copy between these files, a plain read and
// write of one block does; answers the bytes copied, 0 at the end.
std::uint64_t copyOneBlock(int source, int target, std::uint64_t at, const std::string& targetName) {
    std::vector<char> block(std::size_t{1} << 20);
    ssize_t got = -1;
    do {
        got = pread(source, block.data(), block.size(), static_cast<off_t>(at));
    } while (got < 0 && errno == EINTR);
    if (got < 0) throw HostError("cannot read the input for " + targetName + ": " + std::strerror(errno));
    if (!writeAllAt(target, at, block.data(), static_cast<std::size_t>(got))) {
        throw HostError("cannot write " + targetName + ": " + std::strerror(errno));
    }
    return static_cast<std::uint64_t>(got);
}

// Copies bytes [from, to) of source to the same place in target.
bool copyStretch(int source, int target, std::uint64_t from, std::uint64_t to, const std::string& targetName,
                 ProgressBar& progress, std::uint64_t size, bool flushFollows, volatile std::int32_t& stopFlag) {
    bool plainCopy = false;
    for (std::uint64_t done = from; done < to;) {
        if (stopFlag != 0) return false;
        std::uint64_t copied = 0;
        if (plainCopy) {
            copied = copyOneBlock(source, target, done, targetName);
        } else {
            auto in = static_cast<off_t>(done);
            auto out = static_cast<off_t>(done);
            const ssize_t step =
                copy_file_range(source, &in, target, &out, std::min<std::uint64_t>(kCopyStep, to - done), 0);
            if (step < 0 && errno == EINTR) continue;
            if (step < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
                plainCopy = true;
                continue;
            }
            if (step < 0) throw HostError("cannot write " + targetName + ": " + std::strerror(errno));
            copied = static_cast<std::uint64_t>(step);
            // A file that will be flushed before it replaces another starts
            // going to disk now, so that the flush overlaps the copying.
            if (flushFollows) {
                (void)sync_file_range(target, static_cast<off_t>(done), static_cast<off_t>(copied),
                                      SYNC_FILE_RANGE_WRITE);
            }
        }
        if (copied == 0) break;  // the input ended early
        done += copied;
        showDone(progress, done, size);
    }
    return true;
}

// Copies the stretches that hold data and leaves the holes of a sparse file
// holes, as cp does; a file system that cannot tell them apart is all data.
bool copyWholeFile(int source, int target, const std::string& targetName, bool flushFollows,
                   volatile std::int32_t& stopFlag) {
    struct stat status {};
    if (fstat(source, &status) != 0) throw HostError("cannot read the input: " + std::string(std::strerror(errno)));
    const auto size = static_cast<std::uint64_t>(status.st_size);
    ProgressBar progress;
    progress.setTask("copying");
    for (std::uint64_t at = 0; at < size;) {
        const off_t data = lseek(source, static_cast<off_t>(at), SEEK_DATA);
        if (data < 0 && errno == ENXIO) break;  // a hole to the end
        const off_t hole = data < 0 ? -1 : lseek(source, data, SEEK_HOLE);
        const std::uint64_t from = data < 0 ? at : static_cast<std::uint64_t>(data);
        const std::uint64_t to = hole < 0 ? size : std::min(size, static_cast<std::uint64_t>(hole));
        if (!copyStretch(source, target, from, to, targetName, progress, size, flushFollows, stopFlag)) return false;
        at = to;
    }
    if (ftruncate(target, static_cast<off_t>(size)) != 0) {
        throw HostError("cannot write " + targetName + ": " + std::strerror(errno));
    }
    progress.clear();
    return true;
}

}  // namespace

bool writePatchedCopy(int source, int target, const SampleLayout& layout, const std::vector<RangePatch>& patches,
                      const std::string& targetName, bool flushFollows, volatile std::int32_t& stopFlag) {
    if (!copyWholeFile(source, target, targetName, flushFollows, stopFlag)) return false;
    std::uint64_t total = 0;
    for (const RangePatch& patch : patches) total += patch.samples.size();
    ProgressBar progress;
    progress.setTask("writing");
    const auto channels = static_cast<std::size_t>(layout.channels);
    std::vector<std::int16_t> frames(kPatchFrames * channels);
    std::uint64_t written = 0;
    for (const RangePatch& patch : patches) {
        const int channel = patch.channel;
        const std::size_t perFrame = channel < 0 ? channels : 1;
        const std::size_t frameCount = patch.samples.size() / perFrame;
        for (std::size_t done = 0; done < frameCount;) {
            if (stopFlag != 0) return false;
            const std::size_t count = std::min(kPatchFrames, frameCount - done);
            const std::uint64_t first = patch.firstFrame + done;
            if (channel < 0) {
                writeSampleBytes(target, layout, first, count, patch.samples.data() + done * channels, targetName);
            } else {
                // The other channels' bytes are written back as they were read.
                readSampleBytes(target, layout, first, count, frames.data(), targetName);
                for (std::size_t i = 0; i < count; ++i) {
                    frames[i * channels + static_cast<std::size_t>(channel)] = patch.samples[done + i];
                }
                writeSampleBytes(target, layout, first, count, frames.data(), targetName);
            }
            done += count;
            written += count * perFrame;
            showDone(progress, written, total);
        }
    }
    progress.clear();
    return true;
}

}  // namespace tesmora::cli
