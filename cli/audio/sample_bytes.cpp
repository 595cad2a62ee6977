#include "sample_bytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "failure.h"
#include "file_io.h"

namespace tesmora::cli {

void readSampleBytes(int descriptor, const SampleLayout& layout, std::uint64_t first, std::size_t frames,
                     std::int16_t* out, const std::string& path) {
    const std::size_t samples = frames * static_cast<std::size_t>(layout.channels);
    std::vector<unsigned char> bytes(samples * 2);
    const std::uint64_t offset = layout.offsetOf(first, 0);
    const long long got = readAt(descriptor, offset, bytes.data(), bytes.size());
    if (got != static_cast<long long>(bytes.size())) {
        throw HostError("cannot read " + path + " at byte " + std::to_string(offset + std::max(got, 0LL)) + ": " +
                        (got >= 0 ? "the file ends there" : std::strerror(errno)));
    }
    for (std::size_t i = 0; i < samples; ++i) out[i] = decodeSample(&bytes[2 * i], layout.bigEndian);
}

void writeSampleBytes(int descriptor, const SampleLayout& layout, std::uint64_t first, std::size_t frames,
                      const std::int16_t* samples, const std::string& path) {
    const std::size_t count = frames * static_cast<std::size_t>(layout.channels);
    std::vector<unsigned char> bytes(count * 2);
    for (std::size_t i = 0; i < count; ++i) encodeSample(samples[i], &bytes[2 * i], layout.bigEndian);
    if (!writeAllAt(descriptor, layout.offsetOf(first, 0), bytes.data(), bytes.size())) {
        throw HostError("cannot write " + path + ": " + std::strerror(errno));
    }
}

}  // namespace tesmora::cli
