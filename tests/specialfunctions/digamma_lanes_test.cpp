// The lane sums against the one-argument series, bit for bit and status for status, on
// whichever lanes QUORIX_DIGAMMA_LANES selects (CTest runs this once per kind).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string_view>
#include <thread>
#include <vector>

#include "checks.h"
#include "threads.h"
#include "digamma_lanes.h"
#include "digamma_memory.h"
#include "specialfunctions.h"

namespace quorix {
namespace {

using testing::SameBits;

// The kind follows the request, or else the widest the processor has (the compiler's own probe);
// unasked on AVX-512 either division, as the timing at first use chose.
TEST(DigammaLanes, RunOnTheRequestedOrWidestKind) {
#if defined(__x86_64__)
  const bool avx512 = __builtin_cpu_supports("avx512f"), avx2 = __builtin_cpu_supports("avx2");
#else
  const bool avx512 = false, avx2 = false;  // no lanes but on x86-64
#endif
  const char* env = std::getenv("QUORIX_DIGAMMA_LANES");
  const std::string_view asked = env != nullptr ? env : "", kind = detail::DigammaLaneKind();
  std::string_view expected = avx512 ? "avx512" : avx2 ? "avx2" : "scalar";
  if (asked == "scalar" || (asked == "avx2" && !avx2)) expected = "scalar";
  if (asked == "avx2" && avx2) expected = "avx2";
  if (asked == "avx512fma" && avx512) expected = "avx512fma";
  if (asked.empty() && avx512 && kind == "avx512fma") expected = kind;
  EXPECT_EQ(kind, expected);
}

TEST(DigammaLanes, EqualTheSeriesWhereverALaneStops) {
  // Near a pole one huge term leaves a sum whose ulp later terms fall below: these stop after 25,
  // 47, 317, 2512 (the last term of a block of 16) and 18781 terms (checked with Python's doubles),
  // sharing passes with lanes that run all 100000 terms. Whole numbers, NaN and huge arguments
  // take the checked scalar loop.
  const std::vector<double> x = {-2.99999999999999, 1.0 / 3.0, -0.9999999999999, 7.25, -4.999999999999, -0.3,
                                 -4.9999999999, 1e20, -19.999999999, 40.6666, 1.0 + 0x1p-52, 1001.0, -2.0, 2.5e300,
                                 std::numeric_limits<double>::quiet_NaN(), 0.5, -7.5, 12.125, -4.9999999999,
                                 3.0 + 1e-9, -2.99999999999999};
  std::vector<double> value(x.size(), -7.0);
  std::vector<std::int32_t> status(x.size(), -1);
  detail::SumDigammaSeriesLanes(x.data(), static_cast<int>(x.size()), value.data(), status.data());
  int stopped = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    double expected = -7.0;
    const std::int32_t expectedStatus = DigammaSeries(x[i], expected);
    EXPECT_EQ(status[i], expectedStatus) << x[i];
    EXPECT_TRUE(expectedStatus == 0 || SameBits(value[i], expected)) << x[i];
    stopped += expectedStatus == 1;
  }
  EXPECT_EQ(stopped, 7);  // the early stops are really there
}

// Loops over j + offset on several threads at once, as a sweep's rows run: they claim the same groups,
// post and take each other's passes, wait for values being summed, and all get the series' bits; with
// the memory bounded to 3 values a shard, values forgotten while another thread waits for them or asks
// again must come back unchanged, and the memory stays within its bound.
TEST(DigammaLanes, ThreadsInStepGetTheSeriesBitsWithAndWithoutAMemoryBound) {
  QUORIX_SKIP_WITHOUT_THREADS();
  constexpr int kThreads = 4, kSteps = 40;
  const double offsets[] = {1.0 / 3.0, 0.3};
  for (const std::size_t perShard : {0, 3}) {
    ForgetRememberedValues();
    detail::SetRememberedSeriesLimit(perShard);
    std::vector<std::vector<double>> seen(kThreads, std::vector<double>(2 * kSteps));
    testing::StartGate start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        start.ArriveAndWait();
        for (int n = 0; n < kSteps; ++n) {
          const int j = t < 2 ? n : kSteps - 1 - n;  // half the threads backwards, half the families swapped
          for (int o = 0; o < 2; ++o) {
            double& value = seen[t][(o + t) % 2 * kSteps + j];
            const double offset = offsets[(o + t) % 2];
            // A loop's step, or (every third) the plain call with that argument.
            if ((j % 3 == 0 ? Digamma(j + offset, value) : DigammaAtStep(offset, j, value)) != 2) value = -1.0;
          }
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    if (perShard != 0) {
      EXPECT_LE(detail::RememberedSeriesCount(), 16 * perShard);
    }
    detail::SetRememberedSeriesLimit(0);
    for (int f = 0; f < 2; ++f) {
      for (int j = 0; j < kSteps; ++j) {
        double expected = 0.0;
        ASSERT_EQ(DigammaSeries(static_cast<double>(j) + offsets[f], expected), 2);
        for (int t = 0; t < kThreads; ++t) {
          EXPECT_TRUE(SameBits(seen[t][f * kSteps + j], expected)) << j << " + " << offsets[f] << ", " << perShard;
        }
      }
    }
  }
}

}  // namespace
}  // namespace quorix
