// Stopping and the question on the terminal. In process: the repair command
// with its stop flag already set. Through the program: a pseudo-terminal as
// its controlling terminal, answering the module's question or pressing Ctrl-C
// at it, so that nothing depends on timing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "failure.h"
#include "repair_command.h"

namespace tesmora::testing {
namespace {

using Names = std::vector<std::string>;

TEST(StopFlag, SetBeforeTheRepairMakesItWriteNothing) {
    // 100 samples: the module sees the flag and stops. 4 samples: it never
    // looks, repairs, and the host still discards the work.
    for (const char* range : {"100:199", "100:103"}) {
        const ScratchFolder folder;
        writeWav(folder.path("in.wav"), {SF_FORMAT_PCM_16, 1, 22050, clickyRamp(1000, 1)});
        cli::RepairRequest request;
        request.input = folder.path("in.wav");
        request.output = folder.path("out.wav");
        request.ranges = {"10:20", range};
        request.plotPath = folder.path("plot.svg");
        request.modulePath = TESMORA_MODULE;
        volatile std::int32_t stopFlag = 1;
        EXPECT_EQ(cli::runRepair(request, stopFlag), cli::kExitStopped) << range;
        EXPECT_EQ(folder.names(), Names{"in.wav"}) << range;
    }
}

// The program with a pseudo-terminal as its controlling terminal and stdin;
// stdout goes to a file, and so does stderr unless it goes to the terminal too.
class TerminalRun {
public:
    TerminalRun(const ScratchFolder& folder, const std::vector<std::string>& args, bool errToTerminal = false)
        : folder_(folder) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) throw std::runtime_error("no pty");
        const std::string terminal = ptsname(master_);
        // Held open here too, so that the program's exit does not cut off what
        // it showed before it is read.
        slave_ = open(terminal.c_str(), O_RDWR | O_NOCTTY);
        child_ = startProgram(args, {terminal, folder.path("stdout"), errToTerminal ? "" : folder.path("stderr")});
    }

    ~TerminalRun() {
        if (child_ > 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        close(slave_);
        close(master_);
    }

    // Reads what the program shows on the terminal until text appears. The
    // time limit only keeps a broken program from hanging the suite.
    bool waitFor(const std::string& text) {
        char buffer[256];
        while (shown_.find(text) == std::string::npos) {
            pollfd terminal{master_, POLLIN, 0};
            if (poll(&terminal, 1, 20'000) != 1) return false;
            const ssize_t count = read(master_, buffer, sizeof buffer);
            if (count <= 0) return false;
            shown_.append(buffer, static_cast<std::size_t>(count));
        }
        return true;
    }

    void type(const std::string& keys) {
        if (write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
            throw std::runtime_error("cannot type");
        }
    }

    void signal(int number) const { kill(child_, number); }

    int finish() {
        const int status = waitForExit(child_);
        child_ = 0;
        return status;
    }

    std::string err() const { return readFile(folder_.path("stderr")); }
    const std::string& shown() const { return shown_; }

private:
    const ScratchFolder& folder_;
    int master_ = -1;
    int slave_ = -1;
    pid_t child_ = 0;
    std::string shown_;
};

struct Answer {
    const char* keys;
    int status;
    const char* message;
    bool written;
};

TEST(TerminalQuestion, AsksAboveFiveHundredSamplesAndHonoursTheAnswerAndCtrlC) {
    // Ctrl-C either ends the wait for the answer, or, arriving just before it,
    // sets the flag that the module then finds: stopped, either way.
    const Answer answers[] = {
        {"y\n", 0, "", true},  // and no progress bar: stderr is not the terminal
        {"n\n", 1, "tesmora: range 100:700 was not confirmed; nothing was written", false},
        {"\004", 1, "tesmora: range 100:700 was not confirmed; nothing was written", false},  // Ctrl-D
        {"\003y\n", 130, "tesmora: stopped; nothing was written", false},
    };
    for (const Answer& answer : answers) {
        const ScratchFolder folder;
        writeWav(folder.path("in.wav"), {SF_FORMAT_PCM_16, 1, 22050, clickyRamp(1000, 1)});
        TerminalRun run(folder, {"repair", folder.path("in.wav"), "-o", folder.path("out.wav"), "-r", "100:700"});
        // The terminal shows each line break as \r\n.
        ASSERT_TRUE(
            run.waitFor("tesmora: range 100:700 has 601 samples.\r\n"
                        "Tesmora: You selected very long area.\r\nContinue? [y/n] "))
            << run.shown();
        run.type(answer.keys);
        EXPECT_EQ(run.finish(), answer.status) << answer.keys << run.err();
        EXPECT_EQ(run.err().find(answer.message), 0u) << run.err();
        EXPECT_EQ(fileExists(folder.path("out.wav")), answer.written) << answer.keys;
    }
}

TEST(TerminalQuestion, ReplacesAnExistingOutputOnlyAfterAYes) {
    const std::pair<const char*, int> answers[] = {{"y\n", 0}, {"n\n", 1}, {"\004", 1}};
    for (const auto& [keys, status] : answers) {
        const ScratchFolder folder;
        writeWav(folder.path("in.wav"), {SF_FORMAT_PCM_16, 1, 22050, clickyRamp(1000, 1)});
        std::ofstream(folder.path("out.wav")) << "keep me";
        TerminalRun run(folder, {"repair", folder.path("in.wav"), "-o", folder.path("out.wav"), "-r", "10:20"});
        ASSERT_TRUE(run.waitFor("out.wav exists already. Replace it? [y/n] ")) << run.shown();
        run.type(keys);
        EXPECT_EQ(run.finish(), status) << keys << run.err();
        EXPECT_EQ(readFile(folder.path("out.wav")) == "keep me", status != 0) << keys;
    }
}

TEST(TerminalQuestion, OtherSignalsThatEndAProgramStopItAsCtrlCDoes) {
    for (const int signal : {SIGTERM, SIGHUP, SIGQUIT}) {
        const ScratchFolder folder;
        writeWav(folder.path("in.wav"), {SF_FORMAT_PCM_16, 1, 22050, clickyRamp(1000, 1)});
        TerminalRun run(folder, {"repair", folder.path("in.wav"), "-o", folder.path("out.wav"), "-r", "100:700"});
        ASSERT_TRUE(run.waitFor("Continue? [y/n] ")) << run.shown();
        // The answer typed after it only ends a wait that began after the
        // signal came, as with Ctrl-C above.
        run.signal(signal);
        run.type("y\n");
        EXPECT_EQ(run.finish(), 128 + signal) << signal << run.err();
        EXPECT_EQ(run.err(), "tesmora: stopped; nothing was written\n") << signal;
        EXPECT_EQ(folder.names(), (Names{"in.wav", "stderr", "stdout"})) << signal;
    }
}

TEST(TerminalProgress, DrawsTheBarForTheModuleTheCopyAndTheWriting) {
    const ScratchFolder folder;
    writeWav(folder.path("in.wav"), {SF_FORMAT_PCM_16, 1, 22050, clickyRamp(1000, 1)});
    TerminalRun run(folder, {"repair", folder.path("in.wav"), "-o", folder.path("out.wav"), "-r", "100:900", "--yes"},
                    true);
    // Reports come at every 64th sample from the end of the range toward its
    // start; of 801 samples the last, at 64, is 92% of the way.
    EXPECT_TRUE(run.waitFor("\rrange 1/1 Making Line from Selection [###")) << run.shown();
    EXPECT_TRUE(run.waitFor("  92%\r\033[K")) << run.shown();
    // Then the copy of the file and the writing of the samples.
    EXPECT_TRUE(run.waitFor("\rcopying  [##############################] 100%\r\033[K")) << run.shown();
    EXPECT_TRUE(run.waitFor("\rwriting  [##############################] 100%\r\033[K")) << run.shown();
    EXPECT_EQ(run.finish(), 0);
}

}  // namespace
}  // namespace tesmora::testing
