// The repaired file is the input with only the repaired samples changed: each
// container is built here byte by byte with every kind of chunk its users
// keep in it, once with the input's samples and once with the samples the
// repair must give, and the program's output must be the second, exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "channel.h"
#include "cli_fixture.h"

namespace tesmora::testing {
namespace {

using Samples = std::vector<std::int16_t>;
using namespace std::string_literals;

// Bytes in either order, and the chunks built from them.
struct Writer {
    bool big = false;
    std::string bytes;

    Writer& n(std::uint64_t value, int size) {
        for (int i = 0; i < size; ++i) {
            const int shift = 8 * (big ? size - 1 - i : i);
            bytes += static_cast<char>((value >> shift) & 0xFF);
        }
        return *this;
    }
    Writer& s(const std::string& text) {
        bytes += text;
        return *this;
    }
    Writer& samples(const Samples& values) {
        for (const std::int16_t value : values) n(static_cast<std::uint16_t>(value), 2);
        return *this;
    }
};

std::string riffChunk(bool big, const std::string& id, const std::string& body) {
    Writer w{big, id};
    w.n(body.size(), 4).s(body);
    if (body.size() % 2 != 0) w.s(std::string(1, '\0'));  // the pad byte
    return w.bytes;
}

std::string waveFmt(int channels, bool extensible, bool big) {
    Writer w{big, ""};
    w.n(extensible ? 0xFFFE : 1, 2).n(channels, 2).n(44100, 4).n(44100 * 2 * channels, 4).n(2 * channels, 2).n(16, 2);
    // Valid bits 12 and a mask with side speakers: kept as they are.
    if (extensible) w.n(22, 2).n(12, 2).n(0x60F, 4).n(1, 2).s("\0\0\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71"s);
    return w.bytes;
}

// What broadcast and music software puts around the samples of a WAV.
// libsndfile misreads a big-endian cue chunk and the pad byte of an odd chunk
// in RF64: files it cannot read are refused, so those are left out there.
std::string waveChunksBefore(bool big, bool withCue = true, bool withOddChunk = true) {
    return riffChunk(big, "fact", Writer{big, ""}.n(2000, 4).bytes) +
           riffChunk(big, "bext", std::string(256, 'd') + std::string(8, '\x11') + std::string(338, '\0')) +
           riffChunk(big, "iXML", "<BWFXML><PROJECT>tesmora</PROJECT></BWFXML>\n") +
           (withCue
                ? riffChunk(big, "cue ", Writer{big, ""}.n(1, 4).n(1, 4).n(100, 4).s("data").n(0, 8).n(100, 4).bytes)
                : "") +
           (withOddChunk ? riffChunk(big, "odd1", "x") : "");  // an unknown chunk of odd size
}

std::string waveChunksAfter(bool big) {
    return riffChunk(big, "LIST", "adtl" + riffChunk(big, "labl", Writer{big, ""}.n(1, 4).s("pop\0"s).bytes)) +
           riffChunk(big, "LIST",
                     "INFO" + riffChunk(big, "INAM", "Title\0"s) + riffChunk(big, "ISFT", "rec 1.0\0"s) +
                         riffChunk(big, "ICMT", "odd\0"s)) +
           riffChunk(big, "smpl", std::string(36, '\0')) + riffChunk(big, "id3 ", "ID3\x03\0\0\0\0\0\0"s);
}

std::string wav(const Samples& samples, int channels, const char* form, bool extensible) {
    const bool big = std::string(form) == "RIFX";
    const std::string body = "WAVE" + riffChunk(big, "fmt ", waveFmt(channels, extensible, big)) +
                             waveChunksBefore(big, !big) +
                             riffChunk(big, "data", Writer{big, ""}.samples(samples).bytes) + waveChunksAfter(big);
    return Writer{big, form}.n(body.size(), 4).s(body).bytes;
}

// RF64 and BW64: the sizes in ds64, 0xFFFFFFFF in their 32-bit fields; a
// plain format tag 1.
std::string rf64(const Samples& samples, int channels, const char* form) {
    const std::string data = Writer{}.samples(samples).bytes;
    const std::string rest =
        riffChunk(false, "fmt ", waveFmt(channels, false, false)) + waveChunksBefore(false, true, false);
    const std::string tail = waveChunksAfter(false);
    const std::uint64_t riffSize = 4 + 36 + rest.size() + 8 + data.size() + tail.size();
    Writer ds64;
    ds64.n(riffSize, 8).n(data.size(), 8).n(samples.size() / channels, 8).n(0, 4);
    return Writer{false, form}.n(0xFFFFFFFF, 4).s("WAVE").bytes + riffChunk(false, "ds64", ds64.bytes) + rest +
           Writer{false, "data"}.n(0xFFFFFFFF, 4).s(data).bytes + tail;
}

std::string w64Chunk(const char* id, const std::string& body) {
    Writer w{false, std::string(id) + "\xF3\xAC\xD3\x11\x8C\xD1\x00\xC0\x4F\x8E\xDB\x8A"s};
    w.n(24 + body.size(), 8).s(body);
    w.s(std::string((8 - body.size() % 8) % 8, '\0'));
    return w.bytes;
}

std::string w64(const Samples& samples, int channels) {
    // libsndfile reads whatever follows a Wave64 data chunk as samples too;
    // the cross-check would refuse such a file.
    const std::string chunks = w64Chunk("fmt ", waveFmt(channels, false, false)) + w64Chunk("junk", "abc") +
                               w64Chunk("levl", "peak") + w64Chunk("data", Writer{}.samples(samples).bytes);
    Writer w{false, "riff\x2E\x91\xCF\x11\xA5\xD6\x28\xDB\x04\xC1\x00\x00"s};
    w.n(40 + chunks.size(), 8).s("wave\xF3\xAC\xD3\x11\x8C\xD1\x00\xC0\x4F\x8E\xDB\x8A"s).s(chunks);
    return w.bytes;
}

// compression empty: plain AIFF.
std::string aiff(const Samples& samples, int channels, const std::string& compression) {
    const bool little = compression == "sowt";
    Writer comm{true, ""};
    comm.n(channels, 2).n(samples.size() / channels, 4).n(16, 2).s("\x40\x0E\xAC\x44\0\0\0\0\0\0"s);
    if (!compression.empty()) comm.s(compression).s("\x0Enot compressed\0"s);
    Writer sound{!little, ""};
    sound.samples(samples);
    const std::string chunks =
        (compression.empty() ? "" : riffChunk(true, "FVER", "\xA2\x80\x51\x40"s)) +
        riffChunk(true, "COMM", comm.bytes) +
        riffChunk(true, "MARK", Writer{true, ""}.n(1, 2).n(1, 2).n(100, 4).s("\x03pop").bytes) +
        riffChunk(true, "INST", std::string(20, '\x01')) + riffChunk(true, "COMT", "\0\x01\0\0\0\0\0\0\0\x05note!"s) +
        riffChunk(true, "APPL", "pdos-data") + riffChunk(true, "NAME", "Take") +
        riffChunk(true, "SSND", Writer{true, ""}.n(4, 4).n(0, 4).s("skip").s(sound.bytes).bytes) +
        riffChunk(true, "ANNO", "after");
    return Writer{true, "FORM"}.n(4 + chunks.size(), 4).s(compression.empty() ? "AIFF" : "AIFC").s(chunks).bytes;
}

std::string cafChunk(const char* id, const std::string& body) {
    return Writer{true, id}.n(body.size(), 8).s(body).bytes;
}

std::string caf(const Samples& samples, int channels, bool little) {
    Writer desc{true, "\x40\xE5\x88\x80\0\0\0\0"s};  // 44100.0
    desc.s("lpcm").n(little ? 2 : 0, 4).n(2 * channels, 4).n(1, 4).n(channels, 4).n(16, 4);
    Writer data{!little, std::string(4, '\0')};  // the edit count
    data.samples(samples);
    return "caff\0\x01\0\0"s + cafChunk("desc", desc.bytes) + cafChunk("chan", std::string(12, '\0')) +
           cafChunk("info", "\0\0\0\x01title\0Take\0"s) + cafChunk("data", data.bytes) + cafChunk("free", "zz");
}

std::string au(const Samples& samples, int channels) {
    return Writer{true, ".snd"}
        .n(32, 4)
        .n(samples.size() * 2, 4)
        .n(3, 4)
        .n(44100, 4)
        .n(channels, 4)
        .s("tesmora\0"s)
        .samples(samples)
        .bytes;
}

struct Container {
    const char* name;
    int channels;
    std::function<std::string(const Samples&)> build;
};

TEST(Containers, OutputIsTheInputWithOnlyTheRepairedSamplesChanged) {
    const Container containers[] = {
        {"WAV", 1, [](const Samples& s) { return wav(s, 1, "RIFF", false); }},
        {"WAVE_FORMAT_EXTENSIBLE", 6, [](const Samples& s) { return wav(s, 6, "RIFF", true); }},
        {"RIFX", 2, [](const Samples& s) { return wav(s, 2, "RIFX", false); }},
        {"RF64", 2, [](const Samples& s) { return rf64(s, 2, "RF64"); }},
        {"W64", 2, [](const Samples& s) { return w64(s, 2); }},
        {"AIFF", 2, [](const Samples& s) { return aiff(s, 2, ""); }},
        {"AIFF-C NONE", 1, [](const Samples& s) { return aiff(s, 1, "NONE"); }},
        {"AIFF-C sowt", 2, [](const Samples& s) { return aiff(s, 2, "sowt"); }},
        {"CAF big-endian", 2, [](const Samples& s) { return caf(s, 2, false); }},
        {"CAF little-endian", 1, [](const Samples& s) { return caf(s, 1, true); }},
        {"AU", 2, [](const Samples& s) { return au(s, 2); }},
    };
    for (const Container& container : containers) {
        const ScratchFolder folder;
        const Samples input = clickyRamp(2000, container.channels);
        const int channel = container.channels - 1;
        Samples expected = input;
        cli::mergeChannel(expected, container.channels, channel,
                          expectedRepair(cli::extractChannel(input, container.channels, channel), 1000, 1040));
        ASSERT_NE(expected, input);  // the range holds a click
        std::ofstream(folder.path("in"), std::ios::binary) << container.build(input);
        const ProgramRun run = runProgram({"repair", folder.path("in"), "-o", folder.path("out"), "-r", "1000:1040",
                                           "--channel", std::to_string(channel)});
        EXPECT_EQ(run.status, 0) << container.name << ": " << run.err;
        // Not EXPECT_EQ: a difference in a file of kilobytes is shown as its place.
        const std::string output = readFile(folder.path("out"));
        const std::string wanted = container.build(expected);
        EXPECT_EQ(output.size(), wanted.size()) << container.name;
        const auto differ = std::mismatch(output.begin(), output.end(), wanted.begin(), wanted.end());
        EXPECT_TRUE(differ.first == output.end())
            << container.name << ": first difference at byte " << differ.first - output.begin();
    }
}

// The formats the walker does not know: libsndfile writes them, the program
// finds their samples by searching, and changes only the repaired ones.
TEST(Containers, OtherFormatsArePatchedWhereTheirSamplesLie) {
    const std::pair<int, int> formats[] = {
        {SF_FORMAT_IRCAM, 2}, {SF_FORMAT_NIST, 2}, {SF_FORMAT_AVR, 2},  {SF_FORMAT_HTK, 1},   {SF_FORMAT_SVX, 1},
        {SF_FORMAT_VOC, 2},   {SF_FORMAT_PAF, 2},  {SF_FORMAT_MAT5, 2}, {SF_FORMAT_MPC2K, 2},
    };
    for (const auto& [format, channels] : formats) {
        const ScratchFolder folder;
        const Samples input = clickyRamp(2000, channels);
        SF_INFO info{0, 44100, channels, format | SF_FORMAT_PCM_16, 0, 0};
        SNDFILE* file = sf_open(folder.path("in").c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr) << format;
        sf_writef_short(file, input.data(), 2000);
        sf_close(file);
        const ProgramRun run = runProgram({"repair", folder.path("in"), "-o", folder.path("out"), "-r", "1000:1040",
                                           "--channel", std::to_string(channels - 1)});
        ASSERT_EQ(run.status, 0) << format << ": " << run.err;
        Samples expected = input;
        cli::mergeChannel(expected, channels, channels - 1,
                          expectedRepair(cli::extractChannel(input, channels, channels - 1), 1000, 1040));
        EXPECT_TRUE(readWav(folder.path("out")).samples == expected) << format;
        const std::string before = readFile(folder.path("in"));
        const std::string after = readFile(folder.path("out"));
        ASSERT_EQ(before.size(), after.size()) << format;
        std::size_t changedBytes = 0;
        for (std::size_t i = 0; i < before.size(); ++i) changedBytes += before[i] != after[i] ? 1 : 0;
        std::size_t changedSamples = 0;
        for (std::size_t i = 0; i < input.size(); ++i) changedSamples += input[i] != expected[i] ? 1 : 0;
        EXPECT_LE(changedBytes, 2 * changedSamples) << format;
        EXPECT_GT(changedBytes, 0u) << format;
    }
}

TEST(Containers, WarnsOfACutShortFileAndKeepsTheFormatWhateverTheName) {
    const ScratchFolder folder;
    const Samples input = clickyRamp(2000, 1);
    const std::string whole = wav(input, 1, "RIFF", false);
    // Cut inside the samples: the header promises 2000 frames.
    const std::string cut = whole.substr(0, whole.find("data", whole.find("odd1")) + 8 + 2 * 1500);
    std::ofstream(folder.path("cut.wav"), std::ios::binary) << cut;
    const ProgramRun run =
        runProgram({"repair", folder.path("cut.wav"), "-o", folder.path("out.wav"), "-r", "100:120"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("is cut short: its header promises 2000 frames, the file holds 1500"), std::string::npos)
        << run.err;
    const std::string expected = wav(expectedRepair(input, 100, 120), 1, "RIFF", false).substr(0, cut.size());
    EXPECT_TRUE(readFile(folder.path("out.wav")) == expected);

    writeWav(folder.path("in.wav"), {SF_FORMAT_PCM_16, 1, 22050, input});
    const ProgramRun renamed =
        runProgram({"repair", folder.path("in.wav"), "-o", folder.path("o.flac"), "-r", "10:20"});
    EXPECT_EQ(renamed.status, 2);
    EXPECT_NE(renamed.err.find("keeps the input's WAV format"), std::string::npos) << renamed.err;
    EXPECT_FALSE(fileExists(folder.path("o.flac")));
    // One value a -r: the input may follow it.
    const ProgramRun last = runProgram({"repair", "-o", folder.path("o.wav"), "-r", "10:20", folder.path("in.wav")});
    EXPECT_EQ(last.status, 0) << last.err;
}

}  // namespace
}  // namespace tesmora::testing
