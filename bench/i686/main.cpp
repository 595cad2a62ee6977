// The i686 benchmark, run under wine: the repair kernel as the 32-bit build
// compiles it, and XfmDo through the real tesmora.xfm beside this program.
//   tesmora_bench_i686
#include <cstdio>
#include <string>

#include "figures.h"

int main() {
    using namespace tesmora::bench;
    std::printf("ns per sample; each the median of 7 runs of about 50 ms (3 runs for calls longer than that)\n");
    printRepairFigures();
    std::string error;
    const XfmDoEntry xfmDo = loadXfmDo(error);
    if (xfmDo == nullptr) {
        std::fprintf(stderr, "tesmora_bench_i686: %s\n", error.c_str());
        return 1;
    }
    std::printf("\n");
    return printXfmDoFigures(xfmDo) ? 0 : 1;
}
