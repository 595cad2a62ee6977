#include "sample_bytes.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "failure.h"

namespace tesmora::cli {

void readSampleBytes(int descriptor, const SampleLayout& layout, std::uint64_t first, std::size_t frames,
                     std::int16_t* out, const std::string& path) {
    const std::size_t samples = frames * static_cast<std::size_t>(layout.channels);
    std::vector<unsigned char> bytes(samples * 2);
    std::size_t done = 0;
    const std::uint64_t offset = layout.offsetOf(first, 0);
    while (done < bytes.size()) {
        const ssize_t step =
            pread(descriptor, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (step < 0 && errno == EINTR) continue;
        if (step <= 0) {
            throw HostError("cannot read " + path + " at byte " + std::to_string(offset + done) + ": " +
                            (step == 0 ? "the file ends there" : std::strerror(errno)));
        }
        done += static_cast<std::size_t>(step);
    }
    for (std::size_t i = 0; i < samples; ++i) out[i] = decodeSample(&bytes[2 * i], layout.bigEndian);
}

void writeSampleBytes(int descriptor, const SampleLayout& layout, std::uint64_t first, std::size_t frames,
                      const std::int16_t* samples, const std::string& path) {
    const std::size_t count = frames * static_cast<std::size_t>(layout.channels);
    std::vector<unsigned char> bytes(count * 2);
    for (std::size_t i = 0; i < count; ++i) encodeSample(samples[i], &bytes[2 * i], layout.bigEndian);
    std::size_t done = 0;
    const std::uint64_t offset = layout.offsetOf(first, 0);
    while (done < bytes.size()) {
        const ssize_t step =
            pwrite(descriptor, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (step < 0 && errno == EINTR) continue;
        if (step <= 0) throw HostError("cannot write " + path + ": " + std::strerror(errno));
        done += static_cast<std::size_t>(step);
    }
}

}  // namespace tesmora::cli
