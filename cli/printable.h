// Text from file names and file contents made safe to print on a terminal:
// a control character could otherwise move the cursor, retitle the window or
// hide what precedes it.
#ifndef TESMORA_CLI_PRINTABLE_H
#define TESMORA_CLI_PRINTABLE_H

#include <string>

namespace tesmora::cli {

// Control characters (and DEL) as \xNN; everything else as it is.
inline std::string printable(const std::string& text) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += kDigits[byte >> 4];
            out += kDigits[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace tesmora::cli

#endif
