#include "flac_copy.h"

#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "failure.h"
#include "file_io.h"
#include "flac_header.h"
#include "progress_bar.h"

namespace tesmora::cli {

namespace {

// flac's own default: a fair balance of size and speed.
constexpr std::uint32_t kCompressionLevel = 5;
constexpr std::uint32_t kBlockSizeIfVariable = 4096;

struct DecoderDeleter {
    void operator()(FLAC__StreamDecoder* decoder) const { FLAC__stream_decoder_delete(decoder); }
};
struct EncoderDeleter {
    void operator()(FLAC__StreamEncoder* encoder) const { FLAC__stream_encoder_delete(encoder); }
};
struct FileCloser {
    void operator()(std::FILE* file) const { (void)std::fclose(file); }
};
using Decoder = std::unique_ptr<FLAC__StreamDecoder, DecoderDeleter>;
using Encoder = std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter>;

// The patches laid over blocks of decoded samples, one array a channel.
class Patches {
public:
    Patches(const std::vector<RangePatch>& patches, int channels)
        : patches_(patches), channels_(static_cast<std::size_t>(channels)) {}

    // Calls use(channel, offset in the block, repaired sample) for each
    // patched sample of the block of count frames from frame first on.
    template <typename Use>
    void forEach(std::uint64_t first, std::uint32_t count, Use use) const {
        for (const RangePatch& patch : patches_) {
            const std::size_t perFrame = patch.channel < 0 ? channels_ : 1;
            const std::uint64_t patchEnd = patch.firstFrame + patch.samples.size() / perFrame;
            const std::uint64_t from = std::max(first, patch.firstFrame);
            const std::uint64_t to = std::min(first + count, patchEnd);
            for (std::uint64_t frame = from; frame < to; ++frame) {
                const auto at = static_cast<std::size_t>(frame - first);
                const auto index = static_cast<std::size_t>(frame - patch.firstFrame) * perFrame;
                if (patch.channel >= 0) {
                    use(static_cast<std::size_t>(patch.channel), at, patch.samples[index]);
                } else {
                    for (std::size_t c = 0; c < channels_; ++c) use(c, at, patch.samples[index + c]);
                }
            }
        }
    }

private:
    const std::vector<RangePatch>& patches_;
    std::size_t channels_;
};

// Everything the callbacks of one decode-and-encode pass share.
struct Transcoding {
    Transcoding(const Patches& laid, int file, const std::string& name, volatile std::int32_t& stop)
        : patches(laid), target(file), targetName(name), stopFlag(stop) {}

    const Patches& patches;
    int target;
    const std::string& targetName;
    volatile std::int32_t& stopFlag;
    FLAC__StreamEncoder* encoder = nullptr;
    std::vector<std::vector<FLAC__int32>> block;  // one decoded frame, patched
    std::uint64_t decoded = 0;
    std::uint64_t total = 0;
    std::uint64_t frameBytes = 0;  // written after the metadata
    std::vector<FlacFrame> frames;
    FLAC__StreamMetadata_StreamInfo finalInfo{};
    std::string failure;  // writing or encoding
    std::string damage;   // decoding the input
    bool stopped = false;
    ProgressBar progress;
};

// The encoder writes its own marker and STREAMINFO first (samples 0); those
// are left out, the input's metadata stands in their place.
FLAC__StreamEncoderWriteStatus writeEncoded(const FLAC__StreamEncoder* /*encoder*/, const FLAC__byte buffer[],
                                            size_t bytes, uint32_t samples, uint32_t /*frame*/, void* client) {
    auto& t = *static_cast<Transcoding*>(client);
    if (samples == 0) return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    const std::uint64_t firstSample = t.frames.empty() ? 0 : t.frames.back().firstSample + t.frames.back().samples;
    t.frames.push_back({firstSample, t.frameBytes, samples});
    if (!writeAll(t.target, reinterpret_cast<const char*>(buffer), bytes)) {
        t.failure = "cannot write " + t.targetName + ": " + std::strerror(errno);
        return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
    t.frameBytes += bytes;
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

void keepFinalInfo(const FLAC__StreamEncoder* /*encoder*/, const FLAC__StreamMetadata* metadata, void* client) {
    if (metadata->type == FLAC__METADATA_TYPE_STREAMINFO) {
        static_cast<Transcoding*>(client)->finalInfo = metadata->data.stream_info;
    }
}

FLAC__StreamDecoderWriteStatus patchAndEncode(const FLAC__StreamDecoder* /*decoder*/, const FLAC__Frame* frame,
                                              const FLAC__int32* const buffer[], void* client) {
    auto& t = *static_cast<Transcoding*>(client);
    if (t.stopFlag != 0) {
        t.stopped = true;
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    const std::uint32_t count = frame->header.blocksize;
    for (std::size_t c = 0; c < t.block.size(); ++c) t.block[c].assign(buffer[c], buffer[c] + count);
    t.patches.forEach(t.decoded, count,
                      [&t](std::size_t c, std::size_t at, std::int16_t repaired) { t.block[c][at] = repaired; });
    std::vector<const FLAC__int32*> channels;
    for (const auto& samples : t.block) channels.push_back(samples.data());
    if (!FLAC__stream_encoder_process(t.encoder, channels.data(), count)) {
        if (t.failure.empty()) {
            t.failure = std::string("libFLAC could not encode: ") +
                        FLAC__StreamEncoderStateString[FLAC__stream_encoder_get_state(t.encoder)];
        }
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    t.decoded += count;
    if (t.total > 0)
        t.progress.show(static_cast<std::uint32_t>((t.total - std::min(t.decoded, t.total)) * 1000 / t.total), 1000);
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

// Pass is Transcoding or Verifying: each keeps the first damage found.
template <typename Pass>
void noteDamage(const FLAC__StreamDecoder* /*decoder*/, FLAC__StreamDecoderErrorStatus status, void* client) {
    std::string& damage = static_cast<Pass*>(client)->damage;
    if (damage.empty()) damage = FLAC__StreamDecoderErrorStatusString[status];
}

// What the decoded result is checked for: every patched sample as patched.
struct Verifying {
    explicit Verifying(const Patches& laid) : patches(laid) {}

    const Patches& patches;
    std::uint64_t decoded = 0;
    bool matches = true;
    std::string damage;
};

FLAC__StreamDecoderWriteStatus checkDecoded(const FLAC__StreamDecoder* /*decoder*/, const FLAC__Frame* frame,
                                            const FLAC__int32* const buffer[], void* client) {
    auto& v = *static_cast<Verifying*>(client);
    const std::uint32_t count = frame->header.blocksize;
    v.patches.forEach(v.decoded, count, [&v, buffer](std::size_t c, std::size_t at, std::int16_t repaired) {
        if (buffer[c][at] != repaired) v.matches = false;
    });
    v.decoded += count;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void ignoreMetadata(const FLAC__StreamDecoder* /*decoder*/, const FLAC__StreamMetadata* /*metadata*/, void* /*c*/) {}

Encoder makeEncoder(const FLAC__StreamMetadata_StreamInfo& info, Transcoding& t) {
    Encoder encoder(FLAC__stream_encoder_new());
    if (!encoder) throw HostError("libFLAC has no memory for an encoder");
    FLAC__StreamEncoder* e = encoder.get();
    const std::uint32_t blockSize =
        info.min_blocksize == info.max_blocksize ? info.max_blocksize : kBlockSizeIfVariable;
    const bool set = FLAC__stream_encoder_set_channels(e, info.channels) &&
                     FLAC__stream_encoder_set_bits_per_sample(e, info.bits_per_sample) &&
                     FLAC__stream_encoder_set_sample_rate(e, info.sample_rate) &&
                     FLAC__stream_encoder_set_compression_level(e, kCompressionLevel) &&
                     FLAC__stream_encoder_set_blocksize(e, blockSize) && FLAC__stream_encoder_set_verify(e, true) &&
                     FLAC__stream_encoder_set_total_samples_estimate(e, info.total_samples);
    if (!set || FLAC__stream_encoder_init_stream(e, writeEncoded, nullptr, nullptr, keepFinalInfo, &t) !=
                    FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
        throw HostError("libFLAC cannot encode " + t.targetName + " as the input is encoded");
    }
    return encoder;
}

// Decodes what was written and checks it: libFLAC compares its samples with
// the MD5 signature the encoder took of them, and each patched sample must be
// the repaired one.
void verifyWritten(int target, const Patches& patches, std::uint64_t total, const std::string& targetName) {
    const int copy = dup(target);
    std::unique_ptr<std::FILE, FileCloser> file(copy < 0 ? nullptr : fdopen(copy, "rb"));
    if (!file) throw HostError("cannot read back " + targetName + ": " + std::strerror(errno));
    std::rewind(file.get());
    Decoder decoder(FLAC__stream_decoder_new());
    Verifying verifying(patches);
    if (!decoder || !FLAC__stream_decoder_set_md5_checking(decoder.get(), true) ||
        FLAC__stream_decoder_init_FILE(decoder.get(), file.release(), checkDecoded, ignoreMetadata,
                                       noteDamage<Verifying>, &verifying) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
        throw HostError("cannot read back " + targetName);
    }
    // The decoder closes the file when it finishes.
    const bool decoded = FLAC__stream_decoder_process_until_end_of_stream(decoder.get()) != 0;
    const bool signatureMatches = FLAC__stream_decoder_finish(decoder.get()) != 0;
    if (!decoded || !signatureMatches || !verifying.matches || !verifying.damage.empty() ||
        verifying.decoded != total) {
        throw HostError("the re-encoded " + targetName +
                        " does not decode to the repaired samples; nothing was written");
    }
}

}  // namespace

bool writeRepairedFlac(const std::string& sourcePath, int source, int target, int channels,
                       const std::vector<RangePatch>& patches, const std::string& targetName,
                       volatile std::int32_t& stopFlag) {
    const FlacHeader header = readFlacHeader(source, sourcePath);
    const FLAC__StreamMetadata_StreamInfo info = streamInfoOf(header);
    if (!writeAll(target, header.bytes.data(), header.bytes.size())) {
        throw HostError("cannot write " + targetName + ": " + std::strerror(errno));
    }
    const Patches laid(patches, channels);
    Transcoding t(laid, target, targetName, stopFlag);
    t.block.resize(info.channels);
    t.total = info.total_samples;
    t.progress.setTask("re-encoding");
    const Encoder encoder = makeEncoder(info, t);
    t.encoder = encoder.get();

    Decoder decoder(FLAC__stream_decoder_new());
    if (!decoder || !FLAC__stream_decoder_set_md5_checking(decoder.get(), true) ||
        FLAC__stream_decoder_init_file(decoder.get(), sourcePath.c_str(), patchAndEncode, ignoreMetadata,
                                       noteDamage<Transcoding>, &t) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
        throw HostError("cannot read " + sourcePath + " with libFLAC");
    }
    const bool decoded = FLAC__stream_decoder_process_until_end_of_stream(decoder.get()) != 0;
    const bool inputIntact = FLAC__stream_decoder_finish(decoder.get()) != 0;
    t.progress.clear();
    if (t.stopped) return false;
    if (!t.failure.empty()) throw HostError(t.failure);
    if (!t.damage.empty()) {
        throw HostError("cannot repair " + sourcePath + ": its FLAC stream is damaged (" + t.damage +
                        "); nothing was written");
    }
    if (!decoded || !inputIntact || (info.total_samples != 0 && t.decoded != info.total_samples)) {
        throw HostError("cannot repair " + sourcePath +
                        ": its FLAC stream does not decode whole (or not to its own "
                        "MD5 signature); nothing was written");
    }
    if (!FLAC__stream_encoder_finish(encoder.get())) throw HostError("libFLAC could not finish " + targetName);

    // The blocks that describe the new frames, in the places of the old ones.
    const std::string streamInfo = streamInfoBody(t.finalInfo);
    std::string seekTable;
    if (header.seekTableSize > 0) {
        seekTable = seekTableBody(header.bytes.substr(header.seekTableAt, header.seekTableSize), t.frames);
    }
    if (pwrite(target, streamInfo.data(), streamInfo.size(), 8) != static_cast<ssize_t>(streamInfo.size()) ||
        (!seekTable.empty() &&
         pwrite(target, seekTable.data(), seekTable.size(), static_cast<off_t>(header.seekTableAt)) !=
             static_cast<ssize_t>(seekTable.size()))) {
        throw HostError("cannot write " + targetName + ": " + std::strerror(errno));
    }
    verifyWritten(target, laid, t.decoded, targetName);
    return true;
}

}  // namespace tesmora::cli
