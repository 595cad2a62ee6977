// A FLAC file comes back with its samples repaired and every metadata block
// but STREAMINFO as it was: the test encodes one with libFLAC, with tags,
// a picture, a cue sheet, an application block, a seek table and padding.
#include <FLAC/metadata.h>
#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "channel.h"
#include "cli_fixture.h"
#include "flac_header.h"

namespace tesmora::testing {
namespace {

constexpr unsigned kFrames = 20000;

void writeFlac(const std::string& path, const std::vector<std::int16_t>& interleaved, int channels) {
    FLAC__StreamMetadata* tags = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    for (const char* tag : {"TITLE=Take 3", "REPLAYGAIN_TRACK_GAIN=-6.20 dB", "MixedCase=kept as written"}) {
        FLAC__StreamMetadata_VorbisComment_Entry entry;
        FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, "X", "");
        std::free(entry.entry);
        entry.entry = reinterpret_cast<FLAC__byte*>(strdup(tag));
        entry.length = static_cast<FLAC__uint32>(std::strlen(tag));
        FLAC__metadata_object_vorbiscomment_append_comment(tags, entry, false);
    }
    FLAC__StreamMetadata* picture = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PICTURE);
    FLAC__metadata_object_picture_set_mime_type(picture, const_cast<char*>("image/png"), true);
    FLAC__byte png[] = {0x89, 'P', 'N', 'G', 1, 2, 3};
    FLAC__metadata_object_picture_set_data(picture, png, sizeof png, true);
    FLAC__StreamMetadata* cues = FLAC__metadata_object_new(FLAC__METADATA_TYPE_CUESHEET);
    FLAC__metadata_object_cuesheet_insert_blank_track(cues, 0);
    cues->data.cue_sheet.tracks[0].number = 170;  // the lead-out
    FLAC__StreamMetadata* application = FLAC__metadata_object_new(FLAC__METADATA_TYPE_APPLICATION);
    std::memcpy(application->data.application.id, "tsmr", 4);
    FLAC__byte appData[] = {'d', 'a', 't', 'a'};
    FLAC__metadata_object_application_set_data(application, appData, sizeof appData, true);
    FLAC__StreamMetadata* seekTable = FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE);
    FLAC__metadata_object_seektable_template_append_spaced_points(seekTable, 4, kFrames);
    FLAC__metadata_object_seektable_template_sort(seekTable, true);
    FLAC__StreamMetadata* padding = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING);
    padding->length = 1000;
    FLAC__StreamMetadata* blocks[] = {tags, seekTable, picture, cues, application, padding};

    FLAC__StreamEncoder* encoder = FLAC__stream_encoder_new();
    FLAC__stream_encoder_set_channels(encoder, static_cast<unsigned>(channels));
    FLAC__stream_encoder_set_bits_per_sample(encoder, 16);
    FLAC__stream_encoder_set_sample_rate(encoder, 44100);
    FLAC__stream_encoder_set_blocksize(encoder, 1152);
    FLAC__stream_encoder_set_metadata(encoder, blocks, 6);
    ASSERT_EQ(FLAC__stream_encoder_init_file(encoder, path.c_str(), nullptr, nullptr),
              FLAC__STREAM_ENCODER_INIT_STATUS_OK);
    std::vector<FLAC__int32> wide(interleaved.begin(), interleaved.end());
    FLAC__stream_encoder_process_interleaved(encoder, wide.data(), kFrames);
    FLAC__stream_encoder_finish(encoder);
    FLAC__stream_encoder_delete(encoder);
    for (FLAC__StreamMetadata* block : blocks) FLAC__metadata_object_delete(block);
}

// The metadata bytes with the two rebuilt blocks' bodies left out.
std::string keptMetadata(const std::string& path) {
    const int descriptor = open(path.c_str(), O_RDONLY);
    const cli::FlacHeader header = cli::readFlacHeader(descriptor, path);
    close(descriptor);
    std::string kept = header.bytes.substr(0, 8) + header.bytes.substr(42);
    if (header.seekTableSize > 0) kept.erase(header.seekTableAt - 34, header.seekTableSize);
    return kept;
}

TEST(Flac, RepairsTheSamplesAndKeepsEveryMetadataBlock) {
    const ScratchFolder folder;
    const std::vector<std::int16_t> input = clickyRamp(kFrames, 2);
    writeFlac(folder.path("in.flac"), input, 2);
    const ProgramRun run =
        runProgram({"repair", folder.path("in.flac"), "-o", folder.path("out.flac"), "-r", "15070:15100", "-c", "1"});
    ASSERT_EQ(run.status, 0) << run.err;

    std::vector<std::int16_t> expected = input;
    cli::mergeChannel(expected, 2, 1, expectedRepair(cli::extractChannel(input, 2, 1), 15070, 15100));
    ASSERT_NE(expected, input);
    SF_INFO info{};
    SNDFILE* file = sf_open(folder.path("out.flac").c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    std::vector<std::int16_t> output(kFrames * 2);
    EXPECT_EQ(sf_readf_short(file, output.data(), kFrames), kFrames);
    // A seek goes through the rebuilt seek table.
    std::vector<std::int16_t> seeked(31 * 2);
    EXPECT_EQ(sf_seek(file, 15070, SEEK_SET), 15070);
    EXPECT_EQ(sf_readf_short(file, seeked.data(), 31), 31);
    EXPECT_TRUE(std::equal(seeked.begin(), seeked.end(), expected.begin() + 30140));
    sf_close(file);
    EXPECT_TRUE(output == expected);
    EXPECT_EQ(info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    EXPECT_EQ(keptMetadata(folder.path("out.flac")), keptMetadata(folder.path("in.flac")));
}

TEST(Flac, RefusesADamagedInput) {
    const ScratchFolder folder;
    writeFlac(folder.path("in.flac"), clickyRamp(kFrames, 1), 1);
    std::string bytes = readFile(folder.path("in.flac"));
    bytes[bytes.size() - 300] = static_cast<char>(bytes[bytes.size() - 300] ^ 0x10);  // inside the last frames
    std::ofstream(folder.path("in.flac"), std::ios::binary) << bytes;
    const ProgramRun run = runProgram({"repair", folder.path("in.flac"), "-o", folder.path("out.flac"), "-r", "10:40"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("its FLAC stream is damaged"), std::string::npos) << run.err;
    EXPECT_EQ(folder.names(), std::vector<std::string>{"in.flac"});
}

}  // namespace
}  // namespace tesmora::testing
