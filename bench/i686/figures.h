// The two tables the i686 benchmark prints, in ns per sample.
#ifndef TESMORA_BENCH_I686_FIGURES_H
#define TESMORA_BENCH_I686_FIGURES_H

#include "xfm_module.h"

namespace tesmora::bench {

// LineRepair, the plain formula and memset over each block size, with the
// ratios kernel/memset and reference/kernel.
void printRepairFigures();

// xfmDo over the benchmark selection from a memcpy host, against the host's own
// two copies. False, with a message, when xfmDo fails or does not repair.
bool printXfmDoFigures(XfmDoEntry xfmDo);

}  // namespace tesmora::bench

#endif
