// Fuzzes the chunk walker with whole files: whatever the bytes, it either
// refuses them with a HostError or answers a layout whose samples lie inside
// the file, without reading out of bounds or walking forever.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "failure.h"
#include "sample_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int file = memfd_create("sound", 0);
    if (file < 0 || ftruncate(file, 0) != 0 || pwrite(file, data, size, 0) != static_cast<ssize_t>(size)) {
        std::abort();
    }
    try {
        const tesmora::cli::SampleLayout layout = tesmora::cli::locateSamples(file, "fuzz");
        const std::uint64_t end = layout.dataOffset + layout.frameCount * layout.frameBytes();
        if (layout.channels <= 0 || (layout.frameCount > 0 && end > size) ||
            layout.frameCount > layout.declaredFrames) {
            std::fprintf(stderr, "a layout outside the file: offset %llu, %llu frames of %d channels, %zu bytes\n",
                         static_cast<unsigned long long>(layout.dataOffset),
                         static_cast<unsigned long long>(layout.frameCount), layout.channels, size);
            std::abort();
        }
    } catch (const tesmora::cli::HostError&) {
        // Refused, as most bytes must be.
    }
    return 0;
}
