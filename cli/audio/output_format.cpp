#include "output_format.h"

#include <sndfile.h>

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
    {" IRCAM ", " .sf .ircam "},
    {" NIST ", " .nist .sph .wav "},  // SPHERE files are often named .wav
    {" AVR ", " .avr "},
    {" HTK ", " .htk "},
    {" SVX ", " .svx .8svx .16sv .iff "},
    {" VOC ", " .voc "},
    {" PAF ", " .paf .fap "},
    {" MAT4 MAT5 ", " .mat "},
    {" MPC2K ", " .snd "},
    {" SD2 ", " .sd2 "},
    {"", " .ogg .oga .opus .mp3 .m4a .aac .wma .mka .xi .sds .wve "},
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
    bool named = false;
    for (const Family& family : kFamilies) {
        if (!lists(family.extensions, extension)) continue;
        if (lists(family.containers, container)) return;
        named = true;
    }
    if (named) {
        throw UsageError(output + " names a " + extension.substr(1) +
                         " file, but the repaired file keeps the input's " + container +
                         " format, byte for byte; give the output a name that says " + container);
    }
}

std::string containerOf(int sndfileFormat) {
    switch (sndfileFormat & SF_FORMAT_TYPEMASK) {
        case SF_FORMAT_IRCAM: return "IRCAM";
        case SF_FORMAT_NIST: return "NIST";
        case SF_FORMAT_AVR: return "AVR";
        case SF_FORMAT_HTK: return "HTK";
        case SF_FORMAT_SVX: return "SVX";
        case SF_FORMAT_VOC: return "VOC";
        case SF_FORMAT_PAF: return "PAF";
        case SF_FORMAT_MAT4: return "MAT4";
        case SF_FORMAT_MAT5: return "MAT5";
        case SF_FORMAT_MPC2K: return "MPC2K";
        case SF_FORMAT_SD2: return "SD2";
        default: return "libsndfile format " + std::to_string((sndfileFormat & SF_FORMAT_TYPEMASK) >> 16);
    }
}

}  // namespace tesmora::cli
