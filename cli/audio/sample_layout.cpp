// The chunk walker. The layouts it knows, all holding uncompressed 16-bit PCM
// interleaved frame by frame:
// - RIFF/WAVE (little-endian) and RIFX/WAVE (big-endian): chunks of a 4-byte
//   id and a 32-bit size, padded to even; "fmt " with format tag 1, or 0xFFFE
//   (WAVE_FORMAT_EXTENSIBLE) whose sub-format is PCM; then "data".
// - RF64 and BW64: RIFF with 64-bit sizes in the "ds64" chunk that comes
//   first; a "data" size of 0xFFFFFFFF means the one in "ds64".
// - Sony Wave64: chunks named by 16-byte GUIDs with 64-bit sizes that count
//   their own 24-byte header, aligned to 8 bytes; "fmt " and "data" as WAVE.
// - FORM/AIFF and FORM/AIFC (big-endian): "COMM" (channels, frames, bits, and
//   for AIFF-C the compression: NONE or twos big-endian, sowt little-endian),
//   "SSND" (an offset, a block size, then the samples); in any order.
// - CAF: "desc" (lpcm, integer, the little-endian flag), then "data" with a
//   4-byte edit count before the samples; size -1 runs to the end of the file.
// - Sun/NeXT AU (".snd", big-endian): header offset, data size (0xFFFFFFFF
//   unknown: to the end of the file), encoding 3 (16-bit linear).
// Whatever else is refused (FLAC, compressed, is repaired elsewhere, through
// libFLAC, and never reaches this walker).
#include "sample_layout.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "failure.h"
#include "file_io.h"

namespace tesmora::cli {

namespace {

using Bytes = const unsigned char*;

std::uint16_t u16(Bytes b, bool big) {
    return static_cast<std::uint16_t>(big ? (b[0] << 8) | b[1] : (b[1] << 8) | b[0]);
}
std::uint32_t u32(Bytes b, bool big) {
    return big ? (std::uint32_t{u16(b, true)} << 16) | u16(b + 2, true)
               : (std::uint32_t{u16(b + 2, false)} << 16) | u16(b, false);
}
std::uint64_t u64(Bytes b, bool big) {
    return big ? (std::uint64_t{u32(b, true)} << 32) | u32(b + 4, true)
               : (std::uint64_t{u32(b + 4, false)} << 32) | u32(b, false);
}
bool isId(Bytes b, const char* id) {
    return std::memcmp(b, id, 4) == 0;
}

// The tail shared by the GUIDs of Wave64's chunks (after the four-letter id)
// and of WAVE_FORMAT_EXTENSIBLE's sub-formats (after the two-byte tag).
constexpr unsigned char kWave64Tail[12] = {0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
constexpr unsigned char kRiffGuid[16] = {'r',  'i',  'f',  'f',  0x2E, 0x91, 0xCF, 0x11,
                                         0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
constexpr unsigned char kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                              0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

class Walker {
public:
    Walker(int descriptor, const std::string& path) : descriptor_(descriptor), path_(path) {
        struct stat status {};
        if (fstat(descriptor, &status) != 0) fail(std::strerror(errno));
        size_ = static_cast<std::uint64_t>(status.st_size);
    }

    SampleLayout locate() {
        unsigned char head[40] = {};
        const std::size_t got = readAt(0, head, sizeof head);
        if (got >= 12 && isId(head + 8, "WAVE")) {
            if (isId(head, "RIFF")) return walkRiff("WAV", false, false);
            if (isId(head, "RIFX")) return walkRiff("RIFX", true, false);
            if (isId(head, "RF64")) return walkRiff("RF64", false, true);
            if (isId(head, "BW64")) return walkRiff("BW64", false, true);
        }
        if (got >= 40 && std::memcmp(head, kRiffGuid, 16) == 0) return walkWave64();
        if (got >= 12 && isId(head, "FORM") && (isId(head + 8, "AIFF") || isId(head + 8, "AIFC"))) {
            return walkAiff(isId(head + 8, "AIFC"));
        }
        if (got >= 8 && isId(head, "caff")) return walkCaf();
        if (got >= 24 && isId(head, ".snd")) return readAu(head);
        fail(
            "its container is none whose samples can be rewritten where they lie (WAV, RF64, BW64, Wave64, AIFF, "
            "AIFF-C, CAF, AU, FLAC, and others whose 16-bit samples lie in one stretch)");
    }

private:
    [[noreturn]] void fail(const std::string& why) const {
        throw HostError("cannot repair " + path_ + " without re-encoding it: " + why);
    }

    std::size_t readAt(std::uint64_t offset, unsigned char* out, std::size_t count) const {
        const long long got = cli::readAt(descriptor_, offset, out, count);
        if (got < 0) fail(std::strerror(errno));
        return static_cast<std::size_t>(got);
    }

    void readExactly(std::uint64_t offset, unsigned char* out, std::size_t count, const char* what) const {
        if (readAt(offset, out, count) != count) fail(std::string("its ") + what + " is cut short");
    }

    // The samples from offset on, declaredBytes of them as the header says.
    SampleLayout finish(const char* container, std::uint64_t offset, std::uint64_t declaredBytes, int channels,
                        bool bigEndian) const {
        SampleLayout layout;
        layout.container = container;
        layout.dataOffset = offset;
        layout.channels = channels;
        layout.bigEndian = bigEndian;
        const std::uint64_t present = std::min(declaredBytes, bytesFrom(offset));
        layout.truncated = present < declaredBytes;
        layout.frameCount = present / layout.frameBytes();
        layout.declaredFrames = declaredBytes / layout.frameBytes();
        return layout;
    }

    // The bytes from offset to the end of the file.
    std::uint64_t bytesFrom(std::uint64_t offset) const { return offset >= size_ ? 0 : size_ - offset; }

    // Reads a WAVE "fmt " body of size bytes at body (its first 40 are enough)
    // and answers its channels.
    int readWaveFmt(std::uint64_t body, std::uint64_t size, bool big) const {
        unsigned char fmt[40] = {};
        readExactly(body, fmt, static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeof fmt)), "fmt chunk");
        return waveChannels(fmt, size, big);
    }

    // Checks a WAVE "fmt " body: 16-bit integer PCM, one sample per channel per frame.
    int waveChannels(Bytes fmt, std::uint64_t size, bool big) const {
        if (size < 16) fail("its fmt chunk is too short");
        std::uint16_t tag = u16(fmt, big);
        const std::uint16_t channels = u16(fmt + 2, big);
        const std::uint16_t blockAlign = u16(fmt + 12, big);
        const std::uint16_t bits = u16(fmt + 14, big);
        if (tag == 0xFFFE) {
            if (size < 40) fail("its extensible fmt chunk is too short");
            tag = std::memcmp(fmt + 26, kSubFormatTail, sizeof kSubFormatTail) == 0 ? u16(fmt + 24, big) : 0;
        }
        if (tag != 1 || bits != 16 || channels == 0 || blockAlign != 2 * channels) {
            fail("its samples are not plain 16-bit PCM");
        }
        return channels;
    }

    SampleLayout walkRiff(const char* container, bool big, bool sizesInDs64) {
        std::optional<std::uint64_t> ds64DataSize;
        int channels = 0;
        for (std::uint64_t at = 12; at + 8 <= size_;) {
            unsigned char header[8];
            readExactly(at, header, 8, "chunk header");
            const std::uint64_t size = u32(header + 4, big);
            const std::uint64_t body = at + 8;
            if (isId(header, "ds64") && sizesInDs64) {
                unsigned char ds64[16];
                readExactly(body, ds64, sizeof ds64, "ds64 chunk");
                ds64DataSize = u64(ds64 + 8, false);
            } else if (isId(header, "fmt ")) {
                channels = readWaveFmt(body, size, big);
            } else if (isId(header, "data")) {
                if (channels == 0) fail("its data chunk comes before its fmt chunk");
                const bool inDs64 = sizesInDs64 && size == 0xFFFFFFFF;
                if (inDs64 && !ds64DataSize) fail("its data size lies in a ds64 chunk it lacks");
                return finish(container, body, inDs64 ? *ds64DataSize : size, channels, big);
            }
            at = body + size + (size & 1);
        }
        fail("it has no data chunk");
    }

    SampleLayout walkWave64() {
        int channels = 0;
        for (std::uint64_t at = 40; at + 24 <= size_;) {
            unsigned char header[24];
            readExactly(at, header, 24, "chunk header");
            const std::uint64_t size = u64(header + 16, false);
            if (size < 24) fail("a chunk's size is smaller than its own header");
            const std::uint64_t body = at + 24;
            const bool known = std::memcmp(header + 4, kWave64Tail, sizeof kWave64Tail) == 0;
            if (known && isId(header, "fmt ")) {
                channels = readWaveFmt(body, size - 24, false);
            } else if (known && isId(header, "data")) {
                if (channels == 0) fail("its data chunk comes before its fmt chunk");
                return finish("W64", body, size - 24, channels, false);
            }
            if (size > size_ - at) break;  // runs past the end: nothing after it to find
            at += (size + 7) & ~std::uint64_t{7};
        }
        fail("it has no data chunk");
    }

    SampleLayout walkAiff(bool compressedForm) {
        std::optional<std::uint64_t> frames;
        int channels = 0;
        bool bigEndian = true;
        std::optional<std::uint64_t> samplesAt;
        std::uint64_t samplesSize = 0;
        for (std::uint64_t at = 12; at + 8 <= size_;) {
            unsigned char header[8];
            readExactly(at, header, 8, "chunk header");
            const std::uint64_t size = u32(header + 4, true);
            const std::uint64_t body = at + 8;
            if (isId(header, "COMM")) {
                unsigned char comm[22] = {};
                const std::size_t need = compressedForm ? 22 : 18;
                if (size < need) fail("its COMM chunk is too short");
                readExactly(body, comm, need, "COMM chunk");
                channels = u16(comm, true);
                frames = u32(comm + 2, true);
                if (u16(comm + 6, true) != 16 || channels == 0) fail("its samples are not 16-bit");
                if (compressedForm) {
                    if (isId(comm + 18, "sowt")) {
                        bigEndian = false;
                    } else if (!isId(comm + 18, "NONE") && !isId(comm + 18, "twos")) {
                        fail("its AIFF-C compression '" + std::string(reinterpret_cast<const char*>(comm + 18), 4) +
                             "' is not uncompressed PCM");
                    }
                }
            } else if (isId(header, "SSND")) {
                unsigned char ssnd[8];
                readExactly(body, ssnd, 8, "SSND chunk");
                const std::uint64_t offset = u32(ssnd, true);
                samplesAt = body + 8 + offset;
                samplesSize = size >= 8 + offset ? size - 8 - offset : 0;
            }
            at = body + size + (size & 1);
        }
        if (!frames) fail("it has no COMM chunk");
        if (!samplesAt) fail("it has no SSND chunk");
        // Samples past the sound chunk's end are not samples, whatever COMM says.
        const std::uint64_t declared = std::min(*frames * 2 * static_cast<std::uint64_t>(channels), samplesSize);
        return finish(compressedForm ? "AIFF-C" : "AIFF", *samplesAt, declared, channels, bigEndian);
    }

    SampleLayout walkCaf() {
        int channels = 0;
        bool bigEndian = true;
        for (std::uint64_t at = 8; at + 12 <= size_;) {
            unsigned char header[12];
            readExactly(at, header, 12, "chunk header");
            const std::uint64_t size = u64(header + 4, true);
            const std::uint64_t body = at + 12;
            if (isId(header, "desc")) {
                unsigned char desc[32];
                readExactly(body, desc, sizeof desc, "desc chunk");
                const std::uint32_t flags = u32(desc + 12, true);
                channels = static_cast<int>(u32(desc + 24, true));
                if (!isId(desc + 8, "lpcm") || (flags & 1) != 0 || u32(desc + 28, true) != 16 || channels <= 0 ||
                    u32(desc + 16, true) != 2 * static_cast<std::uint32_t>(channels) || u32(desc + 20, true) != 1) {
                    fail("its samples are not plain 16-bit PCM");
                }
                bigEndian = (flags & 2) == 0;
            } else if (isId(header, "data")) {
                if (channels == 0) fail("its data chunk comes before its desc chunk");
                const bool toTheEnd = size == ~std::uint64_t{0};
                if (!toTheEnd && size < 4) fail("its data chunk is too short");
                const std::uint64_t start = body + 4;  // after the edit count
                return finish("CAF", start, toTheEnd ? bytesFrom(start) : size - 4, channels, bigEndian);
            }
            if (size > size_ - body) break;  // runs past the end (or to it, size -1)
            at = body + size;
        }
        fail("it has no data chunk");
    }

    SampleLayout readAu(Bytes head) const {
        const std::uint64_t offset = u32(head + 4, true);
        const std::uint32_t size = u32(head + 8, true);
        const int channels = static_cast<int>(u32(head + 20, true));
        if (u32(head + 12, true) != 3 || channels <= 0) fail("its samples are not 16-bit linear PCM");
        return finish("AU", offset, size == 0xFFFFFFFF ? bytesFrom(offset) : size, channels, true);
    }

    int descriptor_;
    const std::string& path_;
    std::uint64_t size_ = 0;
};

}  // namespace

SampleLayout locateSamples(int descriptor, const std::string& path) {
    return Walker(descriptor, path).locate();
}

}  // namespace tesmora::cli
