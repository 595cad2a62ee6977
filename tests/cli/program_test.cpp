// The built tesmora run on WAV files made for each test: what it writes, and
// that it writes nothing at all whenever it refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "channel.h"
#include "cli_fixture.h"
#include "tesmora_version.h"

namespace tesmora::testing {
namespace {

using Names = std::vector<std::string>;

// A scratch folder with the input and output paths of one run.
struct Workspace {
    ScratchFolder folder;
    const std::string in = folder.path("in.wav");
    const std::string out = folder.path("out.wav");

    void writeText(const std::string& name, const std::string& text) const { std::ofstream(folder.path(name)) << text; }
    // IN, OUT and DIR/name stand for the paths.
    std::string expand(const std::string& arg) const {
        if (arg == "IN") return in;
        if (arg == "OUT") return out;
        if (arg.rfind("DIR/", 0) == 0) return folder.path(arg.substr(4));
        return arg;
    }
};

class ProgramTest : public ::testing::Test, protected Workspace {};

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST_F(ProgramTest, RepairsEachRangeAndKeepsEveryOtherSampleAndTheFormat) {
    const WavFile input{SF_FORMAT_PCM_16, 1, 22050, clickyRamp(2000, 1)};
    writeWav(in, input);
    const std::string inputBytes = readFile(in);
    writeText("ranges.txt", "# the long one\n1000:1800\n");
    // Samples, seconds (0.02 s is sample 441, 0.021 s rounds to 463) and a
    // range above 500 samples from the file, which --yes lets through.
    const ProgramRun run =
        runProgram({"repair", in, "-o", out, "--range", "45:55", "-r", "140:142", "-r", "0.02s:0.021s", "--ranges",
                    folder.path("ranges.txt"), "--yes", "--report", "--plot", folder.path("plot.svg")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    std::vector<std::int16_t> expected = input.samples;
    for (const auto& [first, last] : {std::pair{45u, 55u}, {140u, 142u}, {441u, 463u}, {1000u, 1800u}}) {
        expected = expectedRepair(expected, first, last);
    }
    const WavFile output = readWav(out);
    EXPECT_EQ(output.subtype, SF_FORMAT_PCM_16);
    EXPECT_EQ(output.channels, 1);
    EXPECT_EQ(output.sampleRate, 22050);
    EXPECT_EQ(output.samples, expected);
    EXPECT_NE(output.samples, input.samples);
    EXPECT_EQ(readFile(in), inputBytes);

    EXPECT_EQ(countOf(run.out, " -> "), 8u) << run.out;  // two end steps for each of the four ranges
    EXPECT_NE(run.out.find("Repaired 4 ranges"), std::string::npos);
    const std::string plot = readFile(folder.path("plot.svg"));
    EXPECT_EQ(plot.rfind("<svg", 0), 0u);
    EXPECT_EQ(countOf(plot, ">range "), 4u);
    EXPECT_EQ(folder.names(), (Names{"in.wav", "out.wav", "plot.svg", "ranges.txt"}));
}

TEST_F(ProgramTest, RepairsOneChannelOfAStereoFileAndLeavesTheOther) {
    const WavFile input{SF_FORMAT_PCM_16, 2, 44100, clickyRamp(400, 2)};
    writeWav(in, input);
    for (const auto& [name, channel] : {std::pair{"left", 0}, {"right", 1}, {"1", 1}}) {
        const ProgramRun run = runProgram({"repair", in, "-o", out, "-r", "40:60", "--channel", name, "--force"});
        ASSERT_EQ(run.status, 0) << name << ": " << run.err;
        std::vector<std::int16_t> expected = input.samples;
        cli::mergeChannel(expected, 2, channel, expectedRepair(cli::extractChannel(input.samples, 2, channel), 40, 60));
        EXPECT_EQ(readWav(out).samples, expected) << name;
    }
}

TEST_F(ProgramTest, HandsBothChannelsWithoutChannelAndTheModuleRefuses) {
    writeWav(in, {SF_FORMAT_PCM_16, 2, 44100, clickyRamp(400, 2)});
    const ProgramRun run = runProgram({"repair", in, "-o", out, "-r", "40:60"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "Tesmora: Select only one channel of stereo data.\n"
              "tesmora: the module did not repair range 40:60; nothing was written\n"
              "tesmora: the file has 2 channels; repair one at a time with --channel left, right or an index from 0, "
              "or give each line of --ranges its channel as ch=N\n");
    EXPECT_EQ(folder.names(), Names{"in.wav"});
}

struct Refusal {
    const char* what;
    std::function<void(const Workspace&)> prepare;  // beyond a 16-bit mono in.wav of 1000 samples
    std::vector<std::string> args;                  // after "repair", see Workspace::expand
    int status;
    const char* message;
};

TEST(ProgramRefusals, WritesNothingWhenItRefuses) {
    const auto widthOf = [](int subtype) {
        return [subtype](const Workspace& test) {
            writeWav(test.folder.path("in.wav"), {subtype, 1, 22050, clickyRamp(1000, 1)});
        };
    };
    const auto text = [](const char* name, const char* content) {
        return [=](const Workspace& test) { test.writeText(name, content); };
    };
    const Refusal refusals[] = {
        {"8-bit",
         widthOf(SF_FORMAT_PCM_U8),
         {"IN", "-o", "OUT", "-r", "40:60"},
         1,
         "Tesmora: Can only handle 16-bit data.\n"},
        {"24-bit",
         widthOf(SF_FORMAT_PCM_24),
         {"IN", "-o", "OUT", "-r", "40:60"},
         1,
         "Tesmora: Can only handle 16-bit data.\n"},
        {"missing input", {}, {"DIR/missing.wav", "-o", "OUT", "-r", "40:60"}, 1, "cannot read"},
        {"missing output folder", {}, {"IN", "-o", "DIR/no/out.wav", "-r", "40:60"}, 1, "cannot write in the folder"},
        {"output is a folder",
         [](const Workspace& test) { mkdir(test.folder.path("sub").c_str(), 0755); },
         {"IN", "-o", "DIR/sub", "-r", "40:60"},
         2,
         "sub is a folder; give the name of a file to write"},
        {"overlap", {}, {"IN", "-o", "OUT", "-r", "40:60", "-r", "60:70"}, 1, "ranges 40:60 and 60:70 overlap"},
        {"outside", {}, {"IN", "-o", "OUT", "-r", "40:60", "-r", "990:1000"}, 1, "lies outside the file"},
        {"bad line", text("r.txt", "1:2\n3-4\n"), {"IN", "-o", "OUT", "--ranges", "DIR/r.txt"}, 2, "r.txt:2: bad"},
        {"bad range", {}, {"IN", "-o", "OUT", "-r", "40..60"}, 2, "bad range '40..60'"},
        {"no range", {}, {"IN", "-o", "OUT"}, 2, "no range to repair"},
        {"output is input", {}, {"IN", "-o", "IN", "-r", "40:60"}, 2, "use --in-place"},
        {"plot over input", {}, {"IN", "-o", "OUT", "-r", "40:60", "--plot", "IN"}, 2, "would overwrite"},
        {"unknown option", {}, {"IN", "-o", "OUT", "-r", "40:60", "--fast"}, 2, "--fast"},
        {"detect and ranges", {}, {"IN", "-o", "OUT", "--detect", "-r", "40:60"}, 2, "leave out --range"},
        {"sensitivity", {}, {"IN", "-o", "OUT", "--detect", "--sensitivity", "11"}, 2, "--sensitivity must"},
        {"detect in 24-bit",
         widthOf(SF_FORMAT_PCM_24),
         {"IN", "-o", "OUT", "--detect"},
         1,
         "holds 24-bit samples; the module repairs 16-bit audio"},
    };
    for (const Refusal& refusal : refusals) {
        Workspace test;
        writeWav(test.in, {SF_FORMAT_PCM_16, 1, 22050, clickyRamp(1000, 1)});
        if (refusal.prepare) refusal.prepare(test);
        const Names before = test.folder.names();
        const std::string inputBytes = readFile(test.in);
        std::vector<std::string> args{"repair"};
        for (const std::string& arg : refusal.args) args.push_back(test.expand(arg));

        const ProgramRun run = runProgram(args);
        EXPECT_EQ(run.status, refusal.status) << refusal.what << ": " << run.err;
        EXPECT_NE(run.err.find(refusal.message), std::string::npos) << refusal.what << ": " << run.err;
        EXPECT_EQ(test.folder.names(), before) << refusal.what;
        EXPECT_EQ(readFile(test.in), inputBytes) << refusal.what;
    }
}

TEST_F(ProgramTest, SaysOnTheTerminalWhenThePlotLeavesRangesOut) {
    writeWav(in, {SF_FORMAT_PCM_16, 1, 22050, clickyRamp(1000, 1)});
    std::string ranges;
    for (int i = 0; i < 102; ++i) ranges += std::to_string(i * 9) + ":" + std::to_string(i * 9 + 2) + "\n";
    writeText("r.txt", ranges);
    const ProgramRun run =
        runProgram({"repair", in, "-o", out, "--ranges", folder.path("r.txt"), "--plot", folder.path("p.svg")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("p.svg draws the first 100 of the 102 ranges repaired"), std::string::npos) << run.err;
}

TEST_F(ProgramTest, InPlaceReplacesTheInputAndKeepsItsMode) {
    const WavFile input{SF_FORMAT_PCM_16, 1, 8000, clickyRamp(300, 1)};
    writeWav(in, input);
    chmod(in.c_str(), 0640);
    const ProgramRun run = runProgram({"repair", in, "--in-place", "-r", "45:55"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readWav(in).samples, expectedRepair(input.samples, 45, 55));
    struct stat status {};
    stat(in.c_str(), &status);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    EXPECT_EQ(folder.names(), Names{"in.wav"});
}

TEST(ProgramUsage, NamesTheWordItDoesNotKnow) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"reapir", "in.wav"}, "tesmora: unknown command 'reapir': expected repair, detect, info or demo\n"},
        {{"--frob"}, "tesmora: unknown option '--frob'\n"},
        {{"repair", "in.wav", "-o", "out.wav", "--rnage", "1000:1010"},
         "tesmora: unknown option '--rnage'; did you mean '--range'?\n"},
        {{"detect", "in.wav", "--sensitivty=4"},
         "tesmora: unknown option '--sensitivty'; did you mean '--sensitivity'?\n"},
        {{"detect", "in.wav", "--plot", "p.svg"}, "tesmora: unknown option '--plot'\n"},  // repair's, not detect's
        {{"repair", "in.wav", "-o", "out.wav", "-x"}, "tesmora: unknown option '-x'\n"},
        {{}, "tesmora: give a command: repair, detect, info or demo\n"},
        {{"repair", "in.wav", "-o", "out.wav", "--in-place"}, "tesmora: -o and --in-place exclude each other"},
    };
    for (const auto& [args, message] : cases) {
        const ProgramRun run = runProgram(args);
        EXPECT_EQ(run.status, 2) << message;
        EXPECT_EQ(run.err.find(message), 0u) << run.err;
    }
}

TEST_F(ProgramTest, InfoShowsWhatTheModuleReports) {
    const ProgramRun run = runProgram({"info"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("module:       " TESMORA_MODULE "\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("version:      " TESMORA_VERSION_STRING "\n"), std::string::npos);  // from the file
    EXPECT_NE(run.out.find("name:         Tesmora\n"), std::string::npos);
    EXPECT_NE(run.out.find("description:  Make line from possible clilck\n"), std::string::npos);

    const ProgramRun missing = runProgram({"info", "--module", folder.path("none.so")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot load the module"), std::string::npos);
}

TEST_F(ProgramTest, VersionIsTheProjectVersion) {
    const ProgramRun run = runProgram({"--version"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("tesmora " TESMORA_VERSION_STRING "\n" TESMORA_COPYRIGHT "\n", 0), 0u) << run.out;
}

// Copies of the program and the module laid out as in the build tree, as
// installed, as both (the one beside the program wins) and without a module.
TEST_F(ProgramTest, FindsTheModuleBesideItselfElseWhereItIsInstalled) {
    namespace fs = std::filesystem;
    const std::string beside = "bin/tesmora.so";
    const std::string installed = fs::path("bin/" TESMORA_MODULE_FROM_PROGRAM).lexically_normal().string();
    struct Layout {
        std::vector<std::string> modules;
        std::string found;
    };
    for (const auto& [modules, found] : {Layout{{beside}, beside}, Layout{{installed}, installed},
                                         Layout{{installed, beside}, beside}, Layout{{}, installed}}) {
        const ScratchFolder root;
        fs::create_directories(root.path("bin"));
        fs::copy_file(TESMORA_PROGRAM, root.path("bin/tesmora"));
        for (const std::string& module : modules) {
            fs::create_directories(fs::path(root.path(module)).parent_path());
            fs::copy_file(TESMORA_MODULE, root.path(module));
        }
        const ProgramRun run = runProgram({"info"}, {}, root.path("bin/tesmora"));
        if (modules.empty()) {
            EXPECT_EQ(run.status, 1);
            EXPECT_NE(run.err.find("cannot load the module " + root.path(found)), std::string::npos) << run.err;
        } else {
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_NE(run.out.find("module:       " + root.path(found) + "\n"), std::string::npos) << run.out;
        }
    }
}

TEST_F(ProgramTest, DemoWritesItsFilesAndTheTable) {
    const ProgramRun run = runProgram({"demo", folder.path("demo/files")});
    ASSERT_EQ(run.status, 0) << run.err;
    const Names written{"clicks.wav", "repaired.svg", "repaired.wav"};
    EXPECT_EQ(namesIn(folder.path("demo/files")), written);
    const WavFile clicks = readWav(folder.path("demo/files/clicks.wav"));
    const WavFile repaired = readWav(folder.path("demo/files/repaired.wav"));
    EXPECT_EQ(clicks.samples.size(), 22050u);
    EXPECT_NE(clicks.samples, repaired.samples);
    EXPECT_NE(run.out.find("\n4     16756:16783  24"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace tesmora::testing
