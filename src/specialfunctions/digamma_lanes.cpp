// Lane-parallel summation of the digamma series, bit-identical to the
// scalar loop in digamma.cpp.
//
// Why this is exact: IEEE 754 add, multiply and divide are correctly rounded
// whether they run on one double or on eight, so a lane that performs the
// scalar loop's operations in the scalar loop's order gets the scalar loop's
// bits. That rules out fusing the loop's own multiply and add (the project
// builds with -ffp-contract=off) and any re-association of the sum. A lane
// that meets the stop test keeps its sum while the others run on. The one
// FMA kind ("avx512fma") replaces only the divide, by a sequence of FMAs
// that yields the correctly rounded quotient itself (lane_division.h).
//
// Faults: when xm = x − 1 (as rounded) is finite, not a whole number and
// below 1e300 in magnitude, no operation of the loop can overflow or divide
// by zero: k + xm is never 0 (a sum of two doubles is 0 only if they are
// exact negatives), at least an ulp of k, so |term| stays below about 1e16,
// and (k + xm)·k ≤ 1e305. Those lanes need no fault checks; other arguments
// take the checked scalar loop.
//
// The lanes are x86-64 instructions, compiled for the target only there and
// chosen by what the running processor has; every other processor (ARM,
// WebAssembly) sums each series with the scalar loop, which gives the same
// bits by the same argument.
#include "digamma_lanes.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUORIX_X86_LANES 1
#include <cpuid.h>
#include <immintrin.h>
#else
#define QUORIX_X86_LANES 0
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#if QUORIX_X86_LANES
#include "lane_division.h"
#endif
#include "specialfunctions.h"
#include "step_counter.h"

namespace quorix::detail {

namespace {

#if QUORIX_X86_LANES

constexpr double kEulerGamma = 0.577215664901533;
constexpr int kSeriesTerms = 100000;

bool LaneSafe(double x) {
  const double xm = x - 1.0;
  return std::fabs(xm) < 1e300 && std::floor(xm) != xm;  // false for NaN too
}

// The terms are summed in blocks. Within a block every running lane adds
// every term, and a lane whose sum a term leaves unchanged is only noted, off
// the chain of additions: the compare never delays the next addition, so the
// loop runs at the divider's throughput. In the rare block where some lane
// meets the stop test, the block is summed again from its start term by
// term, freezing each lane at its first equality, exactly as the scalar loop
// stops. A stopped lane keeps its sum: it adds +0.0 (AVX2) or nothing
// (AVX-512); s + 0.0 is s because a sum of non-zero terms is never −0.0.
constexpr int kBlock = 16;
static_assert(kSeriesTerms % kBlock == 0);

// The eight-lane quotient xm/((k + xm)·k): the divider's, or the same bits
// from FMAs (lane_division.h).
struct HardwareDivision {
  __attribute__((target("avx512f"))) explicit HardwareDivision(__m512d) {}
  __attribute__((target("avx512f"))) __m512d operator()(__m512d a, __m512d b) const { return _mm512_div_pd(a, b); }
};

struct FmaDivision {
  FmaDivisionBounds bounds;
  __attribute__((target("avx512f"))) explicit FmaDivision(__m512d a) : bounds(FmaDivisionBoundsFor(a)) {}
  __attribute__((target("avx512f"))) __m512d operator()(__m512d a, __m512d b) const {
    return DivideByFma(a, b, bounds);
  }
};

template <class Divide>
__attribute__((target("avx512f"))) void Sum8(const double* x, double* value, std::int32_t* status) {
  const __m512d one = _mm512_set1_pd(1.0);
  const __m512d xm = _mm512_sub_pd(_mm512_loadu_pd(x), one);
  const Divide divide(xm);
  __m512d s = _mm512_setzero_pd();
  __m512d k = _mm512_setzero_pd();
  __mmask8 running = 0xFF;
  for (int n = 0; n < kSeriesTerms && running != 0; n += kBlock) {
    const __m512d blockSum = s;
    const __m512d blockK = k;
    __mmask8 stopped = 0;
    for (int i = 0; i < kBlock; ++i) {
      k = _mm512_add_pd(k, one);  // exact: k stays a small whole number
      const __m512d term = divide(xm, _mm512_mul_pd(_mm512_add_pd(k, xm), k));
      const __m512d next = _mm512_mask_add_pd(s, running, term, s);
      stopped |= _mm512_mask_cmp_pd_mask(running, next, s, _CMP_EQ_OQ);
      s = next;
    }
    if (stopped == 0) continue;
    s = blockSum;
    k = blockK;
    for (int i = 0; i < kBlock; ++i) {
      k = _mm512_add_pd(k, one);
      const __m512d term = divide(xm, _mm512_mul_pd(_mm512_add_pd(k, xm), k));
      const __m512d next = _mm512_add_pd(term, s);
      running &= static_cast<__mmask8>(~_mm512_cmp_pd_mask(next, s, _CMP_EQ_OQ));
      s = _mm512_mask_mov_pd(s, running, next);
    }
  }
  alignas(64) double sums[8];
  _mm512_store_pd(sums, _mm512_sub_pd(s, _mm512_set1_pd(kEulerGamma)));
  for (int i = 0; i < 8; ++i) {
    value[i] = sums[i];
    status[i] = (running >> i) & 1 ? 2 : 1;
  }
}

__attribute__((target("avx2"))) void Sum4(const double* x, double* value, std::int32_t* status) {
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d xm = _mm256_sub_pd(_mm256_loadu_pd(x), one);
  __m256d s = _mm256_setzero_pd();
  __m256d k = _mm256_setzero_pd();
  __m256d running = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
  for (int n = 0; n < kSeriesTerms && _mm256_movemask_pd(running) != 0; n += kBlock) {
    const __m256d blockSum = s;
    const __m256d blockK = k;
    __m256d stopped = _mm256_setzero_pd();
    for (int i = 0; i < kBlock; ++i) {
      k = _mm256_add_pd(k, one);
      const __m256d term = _mm256_div_pd(xm, _mm256_mul_pd(_mm256_add_pd(k, xm), k));
      const __m256d next = _mm256_add_pd(_mm256_and_pd(term, running), s);
      stopped = _mm256_or_pd(stopped, _mm256_and_pd(_mm256_cmp_pd(next, s, _CMP_EQ_OQ), running));
      s = next;
    }
    if (_mm256_movemask_pd(stopped) == 0) continue;
    s = blockSum;
    k = blockK;
    for (int i = 0; i < kBlock; ++i) {
      k = _mm256_add_pd(k, one);
      const __m256d term = _mm256_div_pd(xm, _mm256_mul_pd(_mm256_add_pd(k, xm), k));
      const __m256d next = _mm256_add_pd(term, s);
      running = _mm256_andnot_pd(_mm256_cmp_pd(next, s, _CMP_EQ_OQ), running);
      s = _mm256_blendv_pd(s, next, running);
    }
  }
  alignas(32) double sums[4];
  _mm256_store_pd(sums, _mm256_sub_pd(s, _mm256_set1_pd(kEulerGamma)));
  const int stillRunning = _mm256_movemask_pd(running);
  for (int i = 0; i < 4; ++i) {
    value[i] = sums[i];
    status[i] = (stillRunning >> i) & 1 ? 2 : 1;
  }
}

enum class Kind { kAvx512, kAvx512Fma, kAvx2, kScalar };

// Which division the AVX-512 lanes use. Both give the same bits; the choice
// is speed only. A term costs one 512-bit vdivpd, or about twenty 512-bit
// operations (rcp14, eleven FMAs and multiplies, the lane checks). Where the
// divider accepts one vdivpd every 16 cycles and two ports execute 512-bit
// FMAs (Intel's server cores), the FMA sequence should take about 10
// cycles per term and win; where 512-bit operations run as two 256-bit
// halves and the divider is faster (AMD Zen 4, BM_SeriesFloorKernel: 0.31
// ns of CPU per term and lane with vdivpd, 0.60 with the FMAs), the divider
// wins; on cores with a single 512-bit FMA port the two are close.
// Processor models do not tell these apart reliably (a virtual machine may
// hide them), so the first use times both on the series' own loop: 256
// terms of eight series each, alternately, six times, the fastest of each
// kept (an interrupt or the frequency change of a first 512-bit burst only
// slows single runs), 10–25 µs in all. The FMAs are taken only when they
// are clearly faster (by 10 %), so a close race does not flip between runs.
constexpr int kCalibrationTerms = 256;
constexpr int kCalibrationRounds = 6;

template <class Divide>
__attribute__((target("avx512f"))) std::uint64_t TimeTerms() {
  const __m512d one = _mm512_set1_pd(1.0);
  const __m512d xm = _mm512_set_pd(7.3, 6.3, 5.3, 4.3, 3.3, 2.3, 1.3, 0.3);
  const Divide divide(xm);
  __m512d s = _mm512_setzero_pd();
  __m512d k = _mm512_setzero_pd();
  _mm_lfence();
  const std::uint64_t start = __rdtsc();
  asm volatile("" : "+v"(k));  // the loop starts after the clock is read
  for (int i = 0; i < kCalibrationTerms; ++i) {
    k = _mm512_add_pd(k, one);
    s = _mm512_add_pd(divide(xm, _mm512_mul_pd(_mm512_add_pd(k, xm), k)), s);
  }
  asm volatile("" : "+v"(s));  // and ends before it is read again
  _mm_lfence();
  return __rdtsc() - start;
}

bool FmaDivisionIsFaster() {
  std::uint64_t divider = UINT64_MAX;
  std::uint64_t fma = UINT64_MAX;
  for (int round = 0; round < kCalibrationRounds; ++round) {
    divider = std::min(divider, TimeTerms<HardwareDivision>());
    fma = std::min(fma, TimeTerms<FmaDivision>());
  }
  return fma * 10 < divider * 9;
}

// The widest lanes the processor has, with the faster division for
// AVX-512. QUORIX_DIGAMMA_LANES=avx2 or =scalar asks for narrower lanes,
// =avx512 or =avx512fma for one division (tests run every kind this way on
// one machine); a kind the processor lacks is never chosen.
//
// The processor is asked with CPUID on first use, not through
// __builtin_cpu_supports: that pulls in the compiler runtime's feature
// probe, a constructor that runs a dozen CPUID instructions at every
// process start (each one a trap to the hypervisor on a virtual machine),
// whether or not the process ever sums a series.
struct Features {
  bool avx2 = false;
  bool avx512f = false;
};

Features ProcessorFeatures() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return {};
  if ((ecx & bit_OSXSAVE) == 0 || (ecx & bit_AVX) == 0) return {};
  // The system must save the wide registers: XCR0 bits 1–2 (SSE, AVX
  // state) and, for AVX-512, bits 5–7 (opmask, upper ZMM halves, ZMM16–31).
  unsigned xcr0 = 0, xcr0High = 0;
  asm volatile("xgetbv" : "=a"(xcr0), "=d"(xcr0High) : "c"(0));
  const bool ymmSaved = (xcr0 & 0x6u) == 0x6u;
  const bool zmmSaved = (xcr0 & 0xE6u) == 0xE6u;
  if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return {};
  return {ymmSaved && (ebx & bit_AVX2) != 0, zmmSaved && (ebx & bit_AVX512F) != 0};
}

Kind DetectKind() {
  const Features features = ProcessorFeatures();
  const bool avx512 = features.avx512f;
  const bool avx2 = features.avx2;
  const char* asked = std::getenv("QUORIX_DIGAMMA_LANES");
  const std::string_view request = asked != nullptr ? asked : "";
  if (request == "scalar") return Kind::kScalar;
  if (request == "avx2") return avx2 ? Kind::kAvx2 : Kind::kScalar;
  if (avx512 && request == "avx512") return Kind::kAvx512;
  if (avx512 && request == "avx512fma") return Kind::kAvx512Fma;
  if (avx512) return FmaDivisionIsFaster() ? Kind::kAvx512Fma : Kind::kAvx512;
  if (avx2) return Kind::kAvx2;
  return Kind::kScalar;
}

#else

enum class Kind { kAvx512, kAvx512Fma, kAvx2, kScalar };
Kind DetectKind() { return Kind::kScalar; }

#endif  // QUORIX_X86_LANES

Kind LaneKind() {
  static const Kind kind = DetectKind();
  return kind;
}

}  // namespace

const char* DigammaLaneKind() {
  switch (LaneKind()) {
    case Kind::kAvx512: return "avx512";
    case Kind::kAvx512Fma: return "avx512fma";
    case Kind::kAvx2: return "avx2";
    case Kind::kScalar: break;
  }
  return "scalar";
}

int DigammaLaneWidth() {
  switch (LaneKind()) {
    case Kind::kAvx512:
    case Kind::kAvx512Fma: return 8;
    case Kind::kAvx2: return 4;
    case Kind::kScalar: break;
  }
  return 1;
}

void SumDigammaSeriesLanes(const double* x, int count, double* value, std::int32_t* status) {
#if !QUORIX_X86_LANES
  for (int i = 0; i < count; ++i) status[i] = DigammaSeries(x[i], value[i]);
#else
  const int width = DigammaLaneWidth();
  // Gather the arguments the lanes can take; the rest go one by one.
  double lane[8];
  int index[8];
  int filled = 0;
  auto flush = [&] {
    if (filled == 0) return;
    for (int i = filled; i < width; ++i) lane[i] = lane[0];  // padding lanes repeat a real argument
    double v[8];
    std::int32_t st[8];
    if (LaneKind() == Kind::kAvx512Fma) {
      Sum8<FmaDivision>(lane, v, st);
    } else if (width == 8) {
      Sum8<HardwareDivision>(lane, v, st);
    } else {
      Sum4(lane, v, st);
    }
    for (int i = 0; i < filled; ++i) {
      value[index[i]] = v[i];
      status[index[i]] = st[i];
    }
    filled = 0;
  };
  for (int i = 0; i < count; ++i) {
    if (width == 1 || !LaneSafe(x[i])) {
      status[i] = DigammaSeries(x[i], value[i]);
      continue;
    }
    steps::Count();
    lane[filled] = x[i];
    index[filled] = i;
    if (++filled == width) flush();
  }
  flush();
#endif
}

}  // namespace quorix::detail
