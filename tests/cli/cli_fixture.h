// What the tests of the command-line host share: a scratch folder, WAV files
// made on the spot, and a way to run the built program and see what it did.
#ifndef TESMORA_TESTS_CLI_FIXTURE_H
#define TESMORA_TESTS_CLI_FIXTURE_H

#include <sndfile.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tesmora::testing {

// A fresh folder under the system's temporary folder, removed with its contents.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string path(const std::string& name) const { return path_ + "/" + name; }
    // The names in the folder, sorted: shows any file left behind.
    std::vector<std::string> names() const;

private:
    std::string path_;
};

// The names in a folder, sorted.
std::vector<std::string> namesIn(const std::string& folder);

struct WavFile {
    int subtype = SF_FORMAT_PCM_16;
    int channels = 1;
    int sampleRate = 22050;
    std::vector<std::int16_t> samples;  // interleaved
    int container = SF_FORMAT_WAV;      // libsndfile's major format
};

void writeWav(const std::string& path, const WavFile& wav);
WavFile readWav(const std::string& path);

// n frames of a slow ramp on each channel (channel c rises c + 1 times as fast),
// with a spike every 97 frames: clicks to repair.
std::vector<std::int16_t> clickyRamp(int frames, int channels);

// The samples of range first..last of one channel after the module's repair,
// as the plain formula gives it.
std::vector<std::int16_t> expectedRepair(std::vector<std::int16_t> channelSamples, std::uint32_t first,
                                         std::uint32_t last);

std::string readFile(const std::string& path);
bool fileExists(const std::string& path);

// A program ended by a signal, told apart from one that exits with 128 + signal.
constexpr int kKilledBySignal = 1000;

struct ProgramRun {
    int status = -1;  // exit status, or kKilledBySignal + signal
    std::string out;
    std::string err;
};

// Where the program's standard streams go. err empty: where in goes.
struct Streams {
    std::string in;
    std::string out;
    std::string err;
};

// Starts the built tesmora (or a copy of it at program) with args in a session
// of its own; through launcher (a program and its arguments, such as setpriv)
// when one is given.
pid_t startProgram(const std::vector<std::string>& args, const Streams& streams,
                   const std::vector<std::string>& launcher = {}, const std::string& program = TESMORA_PROGRAM);
// The exit status, or kKilledBySignal + the signal.
int waitForExit(pid_t child);

// Runs the program with no terminal, so that the module cannot ask a question,
// and captures stdout and stderr.
ProgramRun runProgram(const std::vector<std::string>& args, const std::vector<std::string>& launcher = {},
                      const std::string& program = TESMORA_PROGRAM);

}  // namespace tesmora::testing

#endif
