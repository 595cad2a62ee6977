#include "cli_fixture.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "line_repair_reference.h"

namespace tesmora::testing {

ScratchFolder::ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tesmora-cli-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a scratch folder");
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchFolder::names() const {
    return namesIn(path_);
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void writeWav(const std::string& path, const WavFile& wav) {
    SF_INFO info{};
    info.format = wav.container | wav.subtype;
    info.channels = wav.channels;
    info.samplerate = wav.sampleRate;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) throw std::runtime_error("cannot write " + path);
    const auto frames = static_cast<sf_count_t>(wav.samples.size() / static_cast<std::size_t>(wav.channels));
    sf_writef_short(file, wav.samples.data(), frames);
    sf_close(file);
}

WavFile readWav(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) throw std::runtime_error("cannot read " + path);
    WavFile wav{info.format & SF_FORMAT_SUBMASK, info.channels, info.samplerate, {}, info.format & SF_FORMAT_TYPEMASK};
    wav.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_short(file, wav.samples.data(), info.frames);
    sf_close(file);
    return wav;
}

std::vector<std::int16_t> clickyRamp(int frames, int channels) {
    std::vector<std::int16_t> samples;
    for (int frame = 0; frame < frames; ++frame) {
        for (int channel = 0; channel < channels; ++channel) {
            const int value = frame % 97 == 50 ? 20000 : (frame * (channel + 1) * 7) % 12000 - 6000;
            samples.push_back(static_cast<std::int16_t>(value));
        }
    }
    return samples;
}

std::vector<std::int16_t> expectedRepair(std::vector<std::int16_t> channelSamples, std::uint32_t first,
                                         std::uint32_t last) {
    const RepairHooks hooks{[](void*, std::uint32_t, std::uint32_t) {}, [](void*) { return false; }, nullptr};
    LineRepairReference(channelSamples.data() + first, last - first + 1, hooks);
    return channelSamples;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

bool fileExists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
}

pid_t startProgram(const std::vector<std::string>& args, const Streams& streams,
                   const std::vector<std::string>& launcher, const std::string& program) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Opened after the new session begins, a terminal becomes its controlling one.
    posix_spawn_file_actions_addopen(&actions, 0, streams.in.c_str(), O_RDWR, 0);
    posix_spawn_file_actions_addopen(&actions, 1, streams.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (streams.err.empty()) {
        posix_spawn_file_actions_adddup2(&actions, 0, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, streams.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);

    std::vector<std::string> words = launcher;
    words.push_back(program);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, words.front().c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) throw std::runtime_error("cannot run " + program);
    return child;
}

int waitForExit(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : kKilledBySignal + WTERMSIG(status);
}

ProgramRun runProgram(const std::vector<std::string>& args, const std::vector<std::string>& launcher,
                      const std::string& program) {
    const ScratchFolder capture;
    const Streams streams{"/dev/null", capture.path("out"), capture.path("err")};
    ProgramRun run;
    run.status = waitForExit(startProgram(args, streams, launcher, program));
    run.out = readFile(streams.out);
    run.err = readFile(streams.err);
    return run;
}

}  // namespace tesmora::testing
