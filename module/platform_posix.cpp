// The platform services on POSIX systems: errors go to standard error, the
// question is asked on the controlling terminal, memory comes from malloc.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "messages.h"
#include "platform.h"

namespace tesmora::platform {

void showError(const char* text) {
    // Nothing more can be done for a message that cannot be shown.
    (void)std::fprintf(stderr, "%s: %s\n", kModuleTitle, text);
}

namespace {

// Reads one answer line from the terminal; asks again until it is yes or no.
// A read that fails (a signal arrived) counts as a question not asked.
Answer readAnswer(std::FILE* terminal, const char* text) {
    char line[64];
    for (;;) {
        if (std::fprintf(terminal, "%s: %s [y/n] ", kModuleTitle, text) < 0 || std::fflush(terminal) != 0) {
            return Answer::failed;
        }
        if (std::fgets(line, sizeof line, terminal) == nullptr) {
            // The end of input (Ctrl-D) is an answer, and not a yes.
            return std::feof(terminal) != 0 ? Answer::no : Answer::failed;
        }
        line[std::strcspn(line, "\r\n")] = '\0';
        if (std::strcmp(line, "y") == 0 || std::strcmp(line, "yes") == 0) {
            return Answer::yes;
        }
        if (std::strcmp(line, "n") == 0 || std::strcmp(line, "no") == 0) {
            return Answer::no;
        }
    }
}

}  // namespace

// There are no windows here: the owner is not used. Without a controlling
// terminal the question cannot be asked, as when a message box fails.
Answer askYesNo(void* /*ownerWindow*/, const char* text) {
    std::FILE* terminal = std::fopen("/dev/tty", "r+");
    if (terminal == nullptr) {
        return Answer::failed;
    }
    const Answer answer = readAnswer(terminal, text);
    (void)std::fclose(terminal);  // read only what was asked; nothing is lost if closing fails
    return answer;
}

// A zero-byte request still yields a block, as GlobalAlloc does.
void* allocateBlock(std::uint32_t byteCount) {
    return std::malloc(byteCount == 0 ? 1 : byteCount);
}

void releaseBlock(void* block) {
    std::free(block);
}

void copyText(char* destination, const char* source) {
    std::memcpy(destination, source, std::strlen(source) + 1);
}

}  // namespace tesmora::platform
