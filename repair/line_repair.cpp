// LineRepair without a division per sample.
//
// The line is L(k) = first + T((k * delta + half) / n), T truncating toward
// zero. Where the numerator is negative, truncation is the floor of
// (numerator + n - 1) / n. So with P(k) = k * delta + half + c(k), c(k) being
// n - 1 where the numerator is negative and 0 elsewhere,
//
//     L(k) = first + floor(P(k) / n).
//
// Going down by a fixed stride changes P by a fixed amount D * n + R with
// 0 <= R < n, so the quotient and the remainder of P / n step with an add, a
// compare and a conditional add: the divisions are spent once, up front. The
// numerator is monotonic in k, so c(k) changes at most once along the block;
// there the running values are set up anew.
//
// The samples are written from the top down in blocks of 32 with SSE2 where the
// processor has it (every x86-64, and every 32-bit Windows machine of today, but
// the module still runs on one without), and one at a time otherwise. The hooks
// come between blocks, at the same positions and in the same order as in the
// plain formula, which tests hold this against.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "line_repair.h"
#include "line_repair_paths.h"

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#define TESMORA_LINE_SSE2 1
#endif

namespace tesmora {

namespace {

constexpr std::uint32_t kReportInterval = 64;

struct Line {
    std::int32_t first;
    std::int32_t delta;
    std::uint32_t n;
    std::uint32_t half;
    // The numerator is negative above this k (only when delta < 0).
    std::int64_t lastNonNegative;
};

Line lineBetween(std::int16_t first, std::int16_t last, std::uint32_t n) {
    Line line{first, last - first, n, n / 2, std::numeric_limits<std::int64_t>::max()};
    if (line.delta < 0) {
        line.lastNonNegative = line.half / static_cast<std::uint32_t>(-line.delta);
    }
    return line;
}

// floor(P(k) / n) as a value of the line and the remainder P(k) mod n.
struct Cursor {
    std::int32_t value;
    std::uint32_t remainder;
};

// value = quotient * n + remainder with 0 <= remainder < n: the floor, where C++
// division truncates.
struct FloorDivision {
    std::int64_t quotient;
    std::int64_t remainder;
};

FloorDivision floorDivide(std::int64_t value, std::int64_t n) {
    FloorDivision d{value / n, value % n};
    if (d.remainder < 0) {
        d.remainder += n;
        --d.quotient;
    }
    return d;
}

Cursor cursorAt(const Line& line, std::int64_t k) {
    const std::int64_t n = line.n;
    const FloorDivision d = floorDivide(k * line.delta + line.half + (k > line.lastNonNegative ? n - 1 : 0), n);
    return {line.first + static_cast<std::int32_t>(d.quotient), static_cast<std::uint32_t>(d.remainder)};
}

// One step down by stride samples. P changes by -stride * delta = D * n + R;
// with R' = n - R, the new remainder is r - R' and the value grows by D + 1 when
// r >= R', and else r - R' + n and D (all modulo 2^32, where r - R' + n is exact).
struct Step {
    std::uint32_t remainderDrop;  // R', in (0, n]
    std::int32_t valueIncrement;  // D + 1
};

Step stepDown(const Line& line, std::uint32_t stride) {
    const FloorDivision d = floorDivide(-static_cast<std::int64_t>(stride) * line.delta, line.n);
    return {static_cast<std::uint32_t>(line.n - d.remainder), static_cast<std::int32_t>(d.quotient + 1)};
}

// Moves at one step down. Without a branch: for a stride of many samples which
// way it goes looks random and would be mispredicted often.
inline void stepCursor(Cursor& at, const Step& step, std::uint32_t n) {
    const std::uint32_t below = at.remainder < step.remainderDrop ? ~0u : 0u;
    at.remainder = at.remainder - step.remainderDrop + (n & below);
    at.value += step.valueIncrement - static_cast<std::int32_t>(below & 1u);
}

// Whether the numerator has different signs at lo and at hi (lo <= hi).
bool signChangesBetween(const Line& line, std::int64_t lo, std::int64_t hi) {
    return line.lastNonNegative >= lo && line.lastNonNegative < hi;
}

// Writes the line into samples from top down, one sample at a time. Each call
// continues below where the previous one ended.
class ScalarWriter {
public:
    ScalarWriter(const Line& line, std::uint32_t top)
        : line_(line), step_(stepDown(line, 1)), next_(top), at_(cursorAt(line, top)) {}

    // Writes samples[lo .. next]; lo >= 2.
    void writeDownTo(std::int16_t* samples, std::uint32_t lo) {
        for (;;) {
            samples[next_] = static_cast<std::int16_t>(at_.value);
            const bool done = next_ == lo;
            --next_;
            if (signChangesBetween(line_, next_, next_ + std::int64_t{1})) {
                at_ = cursorAt(line_, next_);
            } else if (at_.remainder >= step_.remainderDrop) {
                // Branches here: one sample at a time, the pattern is regular enough to predict.
                at_.remainder -= step_.remainderDrop;
                at_.value += step_.valueIncrement;
            } else {
                at_.remainder = at_.remainder - step_.remainderDrop + line_.n;
                at_.value += step_.valueIncrement - 1;
            }
            if (done) return;
        }
    }

private:
    Line line_;
    Step step_;
    std::uint32_t next_;
    Cursor at_;
};

#ifdef TESMORA_LINE_SSE2

#define TESMORA_SSE2 __attribute__((target("sse2")))

// Writes the line from top down in aligned blocks of 32 samples, base .. base + 31.
// Only the block's base is stepped, as a scalar quotient and remainder; the 32
// samples come from it at once: with j * delta = D_j * n + R_j,
//
//     L(base + j) = L(base) + D_j + (r >= n - R_j ? 1 : 0),
//
// 32 compares of the broadcast remainder against fixed thresholds, then 16-bit
// adds (modulo 2^16, which is exact because every sample written fits 16 bits).
// A block that holds the change of sign of the numerator is worked out lane by
// lane. Remainders are compared offset by 2^31, so that SSE2's signed compare
// orders them as unsigned.
class Sse2Writer {
public:
    TESMORA_SSE2 Sse2Writer(const Line& line, std::uint32_t top)
        : line_(line), step_(stepDown(line, kLanes)), next_(top) {
        alignas(16) std::int16_t increments[kLanes];
        alignas(16) std::int32_t thresholds[kLanes];
        for (std::uint32_t lane = 0; lane < kLanes; ++lane) {
            const FloorDivision d = floorDivide(static_cast<std::int64_t>(lane) * line.delta, line.n);
            increments[lane] = static_cast<std::int16_t>(static_cast<std::uint16_t>(d.quotient + 1));
            thresholds[lane] = biased(static_cast<std::uint32_t>(line.n - d.remainder));
        }
        for (std::size_t group = 0; group < kGroups; ++group) {
            increments_[group] = _mm_load_si128(reinterpret_cast<const __m128i*>(increments + 8 * group));
            thresholds_[2 * group] = _mm_load_si128(reinterpret_cast<const __m128i*>(thresholds + 8 * group));
            thresholds_[2 * group + 1] = _mm_load_si128(reinterpret_cast<const __m128i*>(thresholds + 8 * group + 4));
        }
    }

    // Writes samples[lo .. next]; lo >= 2.
    TESMORA_SSE2 void writeDownTo(std::int16_t* samples, std::uint32_t lo) {
        for (;;) {
            if (haveBase_ && next_ + 1 == base_) {
                writeFullBlocksDownTo(samples, lo);
                if (next_ + 1 == lo) return;
            }
            const std::uint32_t base = next_ & ~(kLanes - 1);
            const std::uint32_t start = base < lo ? lo : base;
            if (signChangesBetween(line_, base, base + std::int64_t{kLanes - 1})) {
                for (std::uint32_t k = start; k <= next_; ++k) {
                    samples[k] = static_cast<std::int16_t>(cursorAt(line_, k).value);
                }
                haveBase_ = false;
            } else {
                moveTo(base);
                if (base >= lo && next_ == base + kLanes - 1) {
                    writeBlockAtBase(samples + base);
                } else {
                    std::int16_t values[kLanes];
                    writeBlockAtBase(values);
                    std::memcpy(samples + start, values + (start - base), (next_ - start + 1) * sizeof(std::int16_t));
                }
            }
            if (start == lo) {
                next_ = lo - 1;
                return;
            }
            next_ = base - 1;
        }
    }

private:
    static constexpr std::uint32_t kLanes = 32;
    static constexpr std::size_t kGroups = kLanes / 8;  // of 8 samples, one vector each

    // The fast loop: whole blocks below base_, down to lo, stepping the base as
    // long as the sign of the numerator stays the same.
    TESMORA_SSE2 void writeFullBlocksDownTo(std::int16_t* samples, std::uint32_t lo) {
        std::uint32_t lowest = (lo + kLanes - 1) & ~(kLanes - 1);
        if (line_.lastNonNegative >= lowest && line_.lastNonNegative < base_) {
            // Stop above the block whose step carries a lane across the change.
            const auto changeBlock = static_cast<std::uint32_t>(line_.lastNonNegative) & ~(kLanes - 1);
            if (changeBlock + kLanes > lowest) lowest = changeBlock + kLanes;
        }
        while (base_ >= lowest + kLanes) {
            stepCursor(at_, step_, line_.n);
            base_ -= kLanes;
            writeBlockAtBase(samples + base_);
        }
        next_ = base_ - 1;
    }
    static constexpr std::uint32_t kBias = 0x80000000u;

    static std::int32_t biased(std::uint32_t remainder) { return static_cast<std::int32_t>(remainder ^ kBias); }

    // Puts the base on the block at base: one step down from the block above,
    // or worked out afresh.
    TESMORA_SSE2 void moveTo(std::uint32_t base) {
        if (haveBase_ && base == base_) return;
        if (haveBase_ && base + kLanes == base_ && !signChangesBetween(line_, base, base_)) {
            stepCursor(at_, step_, line_.n);
        } else {
            at_ = cursorAt(line_, base);
        }
        base_ = base;
        haveBase_ = true;
    }

    // Writes the samples of the block at base_ to out, from the base's value and remainder.
    TESMORA_SSE2 void writeBlockAtBase(std::int16_t* out) const {
        const __m128i remainder = _mm_set1_epi32(biased(at_.remainder));
        const __m128i value = _mm_set1_epi16(static_cast<std::int16_t>(static_cast<std::uint16_t>(at_.value)));
        for (std::size_t group = 0; group < kGroups; ++group) {
            // All ones where no carry reaches the lane.
            const __m128i noCarry = _mm_packs_epi32(_mm_cmpgt_epi32(thresholds_[2 * group], remainder),
                                                    _mm_cmpgt_epi32(thresholds_[2 * group + 1], remainder));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * group),
                             _mm_add_epi16(_mm_add_epi16(value, increments_[group]), noCarry));
        }
    }

    Line line_;
    Step step_;
    std::uint32_t next_;
    std::uint32_t base_ = 0;
    bool haveBase_ = false;
    Cursor at_{0, 0};
    __m128i increments_[kGroups];      // D_j + 1 for each group of 8 lanes, modulo 2^16
    __m128i thresholds_[2 * kGroups];  // n - R_j, biased, for each 4 lanes
};

bool haveSse2() {
#ifdef __SSE2__
    return true;
#else
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2");
#endif
}

#endif  // TESMORA_LINE_SSE2

// The interior, N - 2 down to 2, with a report at every multiple of 64 and the
// stop query after it.
template <typename Writer>
RepairOutcome repairInterior(std::int16_t* samples, std::uint32_t sampleCount, const Line& line,
                             const RepairHooks& hooks) {
    const std::uint32_t top = sampleCount - 3;
    Writer writer(line, top);
    bool stopped = false;
    for (std::uint32_t position = top / kReportInterval * kReportInterval; position >= kReportInterval;
         position -= kReportInterval) {
        writer.writeDownTo(samples, position);
        hooks.reportProgress(hooks.user, position, sampleCount);
        if (hooks.stopRequested(hooks.user)) {
            stopped = true;
            break;
        }
    }
    if (!stopped) writer.writeDownTo(samples, 2);
    return hooks.stopRequested(hooks.user) ? RepairOutcome::stopped : RepairOutcome::completed;
}

std::int16_t averageWithLine(std::int16_t old, std::int32_t lineValue) {
    return static_cast<std::int16_t>((old + lineValue) / 2);
}

}  // namespace

bool linePathAvailable(LinePath path) {
    if (path == LinePath::scalar) return true;
#ifdef TESMORA_LINE_SSE2
    return haveSse2();
#else
    return false;
#endif
}

RepairOutcome LineRepairOn(LinePath path, std::int16_t* samples, std::uint32_t sampleCount, const RepairHooks& hooks) {
    if (sampleCount < 3) return RepairOutcome::completed;
    const std::uint32_t n = sampleCount - 1;
    const Line line = lineBetween(samples[0], samples[n], n);

    if (sampleCount <= 5) {
        for (std::uint32_t k = 1; k < n; ++k) samples[k] = static_cast<std::int16_t>(cursorAt(line, k).value);
        return RepairOutcome::completed;
    }

    samples[1] = averageWithLine(samples[1], cursorAt(line, 1).value);
    samples[n - 1] = averageWithLine(samples[n - 1], cursorAt(line, n - 1).value);
#ifdef TESMORA_LINE_SSE2
    if (path == LinePath::sse2 && haveSse2()) return repairInterior<Sse2Writer>(samples, sampleCount, line, hooks);
#endif
    return repairInterior<ScalarWriter>(samples, sampleCount, line, hooks);
}

RepairOutcome LineRepair(std::int16_t* samples, std::uint32_t sampleCount, const RepairHooks& hooks) {
    return LineRepairOn(LinePath::sse2, samples, sampleCount, hooks);
}

}  // namespace tesmora
