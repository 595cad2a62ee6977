// The nearest known word to one the program does not know, for "did you
// mean" hints: an option mistyped is usually a letter or two away.
#ifndef TESMORA_CLI_OPTION_HINT_H
#define TESMORA_CLI_OPTION_HINT_H

#include <string>
#include <vector>

namespace tesmora::cli {

// The known word closest to word (fewest letters inserted, removed, changed
// or swapped), when it is close enough to be what was meant (a third of the
// word's letters after its dashes at most, and at least one, for a word of
// three letters or more); else empty.
std::string nearestWord(const std::string& word, const std::vector<std::string>& known);

// "unknown option 'WORD'", with "; did you mean 'NEAREST'?" when one of
// known is near.
std::string unknownOptionMessage(const std::string& word, const std::vector<std::string>& known);

}  // namespace tesmora::cli

#endif
