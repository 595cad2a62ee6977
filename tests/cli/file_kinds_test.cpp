// Files the module cannot take, and files that cannot be read at all: every
// command says in the same words what the file is and what to do, with
// status 1 and nothing written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace tesmora::testing {
namespace {

struct FileKind {
    const char* what;
    std::function<void(const std::string& path)> make;  // nothing: the file is missing
    const char* message;                                // after "tesmora: ", @ standing for the path
};

std::function<void(const std::string&)> sound(int container, int subtype, int rate = 22050) {
    return [=](const std::string& path) {
        WavFile wav{subtype, 2, rate, clickyRamp(2000, 2), container};
        writeWav(path, wav);
    };
}

std::string withPath(std::string message, const std::string& path) {
    for (std::size_t at = message.find('@'); at != std::string::npos; at = message.find('@', at + path.size())) {
        message.replace(at, 1, path);
    }
    return message;
}

TEST(FileKinds, EveryCommandSaysWhatTheFileIsAndWhatToDo) {
    const FileKind kinds[] = {
        {"24-bit", sound(SF_FORMAT_WAV, SF_FORMAT_PCM_24),
         "@ holds 24-bit samples; the module repairs 16-bit audio: convert it first, e.g. sox @ -b 16 in-16bit.wav"},
        {"32-bit float", sound(SF_FORMAT_WAV, SF_FORMAT_FLOAT),
         "@ holds 32-bit floating-point samples; the module repairs 16-bit audio"},
        {"8-bit", sound(SF_FORMAT_WAV, SF_FORMAT_PCM_U8), "@ holds 8-bit samples; the module repairs 16-bit audio"},
        {"MP3", sound(SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III),
         "@ is MP3 (lossy): decode it to a 16-bit WAV or FLAC first, e.g. ffmpeg -i @ -c:a pcm_s16le in.wav"},
        {"Ogg Vorbis", sound(SF_FORMAT_OGG, SF_FORMAT_VORBIS), "@ is Ogg Vorbis (lossy): decode it"},
        {"Opus", sound(SF_FORMAT_OGG, SF_FORMAT_OPUS, 48000), "@ is Opus (lossy): decode it"},
        {"missing", {}, "cannot read @: there is no such file"},
        {"a folder", [](const std::string& path) { mkdir(path.c_str(), 0755); },
         "cannot read @: it is a folder, not a file"},
        {"text", [](const std::string& path) { std::ofstream(path) << "40:60\n"; },
         "cannot read @: it is no sound file that libsndfile reads"},
    };
    for (const FileKind& kind : kinds) {
        ScratchFolder folder;
        const std::string in = folder.path("in");
        if (kind.make) kind.make(in);
        const std::vector<std::string> before = folder.names();
        const std::vector<std::vector<std::string>> commands = {
            {"detect", in},
            {"detect", in, "--channel", "right"},
            {"repair", in, "-o", folder.path("out"), "--detect"},
            {"repair", in, "-o", folder.path("out"), "-r", "40:60", "--channel", "left"},
        };
        for (const std::vector<std::string>& command : commands) {
            const std::string trace = std::string(kind.what) + ": " + command[0] + " " + command.back();
            const ProgramRun run = runProgram(command);
            EXPECT_EQ(run.status, 1) << trace << ": " << run.err;
            EXPECT_NE(run.err.find("tesmora: " + withPath(kind.message, in)), std::string::npos)
                << trace << ": " << run.err;
            EXPECT_EQ(run.err.find("--channel"), std::string::npos) << trace << ": " << run.err;
            EXPECT_EQ(folder.names(), before) << trace;
        }
    }
}

}  // namespace
}  // namespace tesmora::testing
