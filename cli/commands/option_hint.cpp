#include "option_hint.h"

#include <algorithm>
#include <cstddef>

namespace tesmora::cli {

namespace {

// The optimal string alignment distance: Levenshtein's, with two letters
// swapped counted as one change ("--rnage" is one from "--range").
std::size_t distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

}  // namespace

std::string nearestWord(const std::string& word, const std::vector<std::string>& known) {
    // A letter or two ("-x") is too short to tell what was meant.
    const std::size_t letters = word.size() - std::min(word.find_first_not_of('-'), word.size());
    if (letters < 3) return {};
    const std::size_t allowed = std::max<std::size_t>(1, letters / 3);
    std::string nearest;
    std::size_t best = allowed + 1;
    for (const std::string& candidate : known) {
        const std::size_t d = distance(word, candidate);
        if (d < best) {
            best = d;
            nearest = candidate;
        }
    }
    return nearest;
}

std::string unknownOptionMessage(const std::string& word, const std::vector<std::string>& known) {
    const std::string nearest = nearestWord(word, known);
    return "unknown option '" + word + "'" + (nearest.empty() ? "" : "; did you mean '" + nearest + "'?");
}

}  // namespace tesmora::cli
