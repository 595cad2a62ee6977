#include "terminal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace tesmora::cli {

namespace {

struct Closer {
    void operator()(std::FILE* file) const { (void)std::fclose(file); }
};

std::unique_ptr<std::FILE, Closer> openTerminal() {
    return std::unique_ptr<std::FILE, Closer>(std::fopen("/dev/tty", "r+"));
}

}  // namespace

bool hasTerminal() {
    const int terminal = open("/dev/tty", O_RDWR | O_NOCTTY);
    if (terminal < 0) return false;
    close(terminal);
    return true;
}

bool askOnTerminal(const std::string& question) {
    const auto terminal = openTerminal();
    if (!terminal) return false;
    char line[64];
    for (;;) {
        if (std::fprintf(terminal.get(), "tesmora: %s [y/n] ", question.c_str()) < 0 ||
            std::fflush(terminal.get()) != 0 || std::fgets(line, sizeof line, terminal.get()) == nullptr) {
            (void)std::fputs("\n", terminal.get());
            return false;
        }
        line[std::strcspn(line, "\r\n")] = '\0';
        if (std::strcmp(line, "y") == 0 || std::strcmp(line, "yes") == 0) return true;
        if (std::strcmp(line, "n") == 0 || std::strcmp(line, "no") == 0) return false;
    }
}

void tellOnTerminal(const std::string& line) {
    const auto terminal = openTerminal();
    if (terminal) (void)std::fprintf(terminal.get(), "tesmora: %s\n", line.c_str());
}

}  // namespace tesmora::cli
