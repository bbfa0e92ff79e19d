// The lane sums against the one-argument series, bit for bit and status for status, on
// whichever lanes QUORIX_DIGAMMA_LANES selects (CTest runs this once per kind).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <latch>
#include <limits>
#include <string_view>
#include <thread>
#include <vector>

#include "digamma_lanes.h"
#include "specialfunctions.h"

namespace quorix {
namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The kind follows the request, or else the widest the processor has (the compiler's own probe).
TEST(DigammaLanes, RunOnTheRequestedOrWidestKind) {
  __builtin_cpu_init();
  const bool avx2 = __builtin_cpu_supports("avx2");
  const std::string_view asked = std::getenv("QUORIX_DIGAMMA_LANES") ? std::getenv("QUORIX_DIGAMMA_LANES") : "";
  const bool avx512 = __builtin_cpu_supports("avx512f");
  const std::string_view kind = detail::DigammaLaneKind();
  if (asked.empty() && avx512) {
    // Either division, as the timing at first use chose.
    EXPECT_TRUE(kind == "avx512" || kind == "avx512fma") << kind;
    return;
  }
  std::string_view expected = avx512 ? "avx512" : avx2 ? "avx2" : "scalar";
  if (asked == "scalar" || (asked == "avx2" && !avx2)) expected = "scalar";
  if (asked == "avx2" && avx2) expected = "avx2";
  if (asked == "avx512fma" && avx512) expected = "avx512fma";
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
// post and take each other's passes, wait for values being summed, and all get the series' bits.
TEST(DigammaLanes, ThreadsInStepGetTheSeriesBits) {
  constexpr int kThreads = 4, kSteps = 40;
  const double offsets[] = {1.0 / 3.0, 0.3};
  ForgetRememberedValues();
  std::vector<std::vector<double>> seen(kThreads, std::vector<double>(2 * kSteps));
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      for (int j = 0; j < kSteps; ++j) {
        for (int o = 0; o < 2; ++o) {
          const int f = (o + t) % 2;  // half the threads take the families in the other order
          if (DigammaAtStep(offsets[f], j, seen[t][f * kSteps + j]) != 2) seen[t][f * kSteps + j] = -1.0;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int f = 0; f < 2; ++f) {
    for (int j = 0; j < kSteps; ++j) {
      double expected = 0.0;
      ASSERT_EQ(DigammaSeries(static_cast<double>(j) + offsets[f], expected), 2);
      for (int t = 0; t < kThreads; ++t) {
        EXPECT_TRUE(SameBits(seen[t][f * kSteps + j], expected)) << j << " + " << offsets[f];
      }
    }
  }
}

}  // namespace
}  // namespace quorix
