#include "output_format.h"

#include <algorithm>
#include <cctype>

#include "failure.h"

namespace tesmora::cli {

namespace {

struct Family {
    const char* containers;  // SampleLayout names, space-separated
    const char* extensions;  // with the dots, space-separated
};

// The extensions each container is found under; a WAV may be named .bwf, an
// RF64 or BW64 .wav, and so on.
constexpr Family kFamilies[] = {
    {" WAV RIFX RF64 BW64 W64 ", " .wav .wave .bwf .rf64 .bw64 .w64 "},
    {" AIFF AIFF-C ", " .aif .aiff .aifc .afc "},
    {" CAF ", " .caf "},
    {" AU ", " .au .snd "},
    {" FLAC ", " .flac "},
    {"", " .ogg .oga .opus .mp3 .m4a .aac .wma .mka .voc .ircam .sf .w64x .paf .svx .nist .sph .mat .xi .sd2 "},
};

std::string lowerExtension(const std::string& path) {
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool lists(const char* words, const std::string& word) {
    return std::string(words).find(" " + word + " ") != std::string::npos;
}

}  // namespace

void checkOutputKeepsFormat(const std::string& output, const std::string& container) {
    const std::string extension = lowerExtension(output);
    if (extension.empty()) return;
    for (const Family& family : kFamilies) {
        if (!lists(family.extensions, extension)) continue;
        if (lists(family.containers, container)) return;
        throw UsageError(output + " names a " + extension.substr(1) +
                         " file, but the repaired file keeps the input's " + container +
                         " format, byte for byte; give the output a name that says " + container);
    }
}

}  // namespace tesmora::cli
