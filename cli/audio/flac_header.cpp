#include "flac_header.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "failure.h"
#include "file_io.h"

namespace tesmora::cli {

namespace {

constexpr std::size_t kSeekPointBytes = 18;
constexpr std::uint64_t kPlaceholder = ~std::uint64_t{0};

// Whether all count bytes at offset could be read.
bool readWhole(int descriptor, std::uint64_t offset, char* out, std::size_t count) {
    return readAt(descriptor, offset, out, count) == static_cast<long long>(count);
}

std::uint64_t bigEndian(const std::string& bytes, std::size_t at, int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

void appendBigEndian(std::string& out, std::uint64_t value, int count) {
    for (int i = count - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

bool isFlac(int descriptor) {
    char marker[4];
    return readWhole(descriptor, 0, marker, 4) && std::memcmp(marker, "fLaC", 4) == 0;
}

FlacHeader readFlacHeader(int descriptor, const std::string& path) {
    FlacHeader header;
    header.bytes.resize(4);
    if (!readWhole(descriptor, 0, header.bytes.data(), 4)) throw HostError("cannot read " + path);
    for (bool last = false; !last;) {
        char blockHeader[4];
        if (!readWhole(descriptor, header.bytes.size(), blockHeader, 4)) {
            throw HostError("cannot read " + path + ": its FLAC metadata is cut short");
        }
        last = (static_cast<unsigned char>(blockHeader[0]) & 0x80) != 0;
        const int type = blockHeader[0] & 0x7F;
        const std::size_t length = bigEndian(std::string(blockHeader, 4), 1, 3);
        header.bytes.append(blockHeader, 4);
        const std::size_t body = header.bytes.size();
        header.bytes.resize(body + length);
        if (!readWhole(descriptor, body, header.bytes.data() + body, length)) {
            throw HostError("cannot read " + path + ": its FLAC metadata is cut short");
        }
        if (body == 8 &&
            (type != FLAC__METADATA_TYPE_STREAMINFO || length != FLAC__STREAM_METADATA_STREAMINFO_LENGTH)) {
            throw HostError("cannot read " + path + ": its first FLAC metadata block is not STREAMINFO");
        }
        if (type == FLAC__METADATA_TYPE_SEEKTABLE) {
            header.seekTableAt = body;
            header.seekTableSize = length;
        }
    }
    return header;
}

std::string streamInfoBody(const FLAC__StreamMetadata_StreamInfo& info) {
    std::string body;
    appendBigEndian(body, info.min_blocksize, 2);
    appendBigEndian(body, info.max_blocksize, 2);
    appendBigEndian(body, info.min_framesize, 3);
    appendBigEndian(body, info.max_framesize, 3);
    // 20 bits of rate, 3 of channels - 1, 5 of bits - 1, 36 of total samples.
    const std::uint64_t packed = (std::uint64_t{info.sample_rate} << 44) | (std::uint64_t{info.channels - 1} << 41) |
                                 (std::uint64_t{info.bits_per_sample - 1} << 36) |
                                 (info.total_samples & 0xFFFFFFFFFull);
    appendBigEndian(body, packed, 8);
    body.append(reinterpret_cast<const char*>(info.md5sum), 16);
    return body;
}

FLAC__StreamMetadata_StreamInfo streamInfoOf(const FlacHeader& header) {
    const std::string& b = header.bytes;
    FLAC__StreamMetadata_StreamInfo info{};
    info.min_blocksize = static_cast<std::uint32_t>(bigEndian(b, 8, 2));
    info.max_blocksize = static_cast<std::uint32_t>(bigEndian(b, 10, 2));
    info.min_framesize = static_cast<std::uint32_t>(bigEndian(b, 12, 3));
    info.max_framesize = static_cast<std::uint32_t>(bigEndian(b, 15, 3));
    const std::uint64_t packed = bigEndian(b, 18, 8);
    info.sample_rate = static_cast<std::uint32_t>(packed >> 44);
    info.channels = static_cast<std::uint32_t>((packed >> 41) & 7) + 1;
    info.bits_per_sample = static_cast<std::uint32_t>((packed >> 36) & 31) + 1;
    info.total_samples = packed & 0xFFFFFFFFFull;
    std::memcpy(info.md5sum, b.data() + 26, 16);
    return info;
}

std::string seekTableBody(const std::string& oldBody, const std::vector<FlacFrame>& frames) {
    const std::size_t pointCount = oldBody.size() / kSeekPointBytes;
    std::vector<const FlacFrame*> points;
    for (std::size_t i = 0; i < pointCount; ++i) {
        const std::uint64_t sample = bigEndian(oldBody, i * kSeekPointBytes, 8);
        if (sample == kPlaceholder || frames.empty()) continue;
        // The last frame that starts at or before the sample.
        auto frame = std::upper_bound(frames.begin(), frames.end(), sample,
                                      [](std::uint64_t s, const FlacFrame& f) { return s < f.firstSample; });
        if (frame != frames.begin()) --frame;
        if (points.empty() || points.back() != &*frame) points.push_back(&*frame);
    }
    std::string body;
    for (const FlacFrame* frame : points) {
        appendBigEndian(body, frame->firstSample, 8);
        appendBigEndian(body, frame->offset, 8);
        appendBigEndian(body, frame->samples, 2);
    }
    while (body.size() < pointCount * kSeekPointBytes) {
        appendBigEndian(body, kPlaceholder, 8);
        appendBigEndian(body, 0, 8);
        appendBigEndian(body, 0, 2);
    }
    body.resize(oldBody.size(), '\0');  // a table with a stray tail keeps its length
    return body;
}

}  // namespace tesmora::cli
