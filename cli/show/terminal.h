// The user's terminal, for the host's own questions: the one the module asks
// on too, whatever the standard streams are redirected to.
#ifndef TESMORA_CLI_TERMINAL_H
#define TESMORA_CLI_TERMINAL_H

#include <string>

namespace tesmora::cli {

// Whether there is a controlling terminal to ask on.
bool hasTerminal();

// Asks question on the terminal until the answer is y/yes or n/no. Only a
// yes is true: no terminal, the end of input (Ctrl-D) or a Ctrl-C is no.
bool askOnTerminal(const std::string& question);

// Shows a line on the terminal, if there is one.
void tellOnTerminal(const std::string& line);

}  // namespace tesmora::cli

#endif
