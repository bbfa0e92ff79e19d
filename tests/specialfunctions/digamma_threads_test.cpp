// Runs in a process of its own: the first fill of both tables happens here,
// requested by several threads at the same moment.
#include <gtest/gtest.h>

#include <cmath>
#include <latch>
#include <thread>
#include <vector>

#include "specialfunctions.h"

namespace quorix {
namespace {

double Argument(int i) { return i < 1000 ? i + 1.0 : (i - 1000) + 0.5; }  // 1 … 1000, 0.5 … 999.5

TEST(DigammaTables, ConcurrentFirstUseGivesEveryThreadTheSameFullTables) {
  ASSERT_FALSE(DigammaIntegerTableFilled() || DigammaHalfTableFilled());
  constexpr int kThreads = 8;
  std::vector<std::vector<double>> seen(kThreads, std::vector<double>(2000));
  std::vector<int> failures(kThreads, 0);
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      // Half the threads begin with the half-integers, so both first fills are contended.
      for (int n = 0; n < 2000; ++n) {
        const int i = (n + (t % 2) * 1000) % 2000;
        if (Digamma(Argument(i), seen[t][i]) != 1) ++failures[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_TRUE(DigammaIntegerTableFilled() && DigammaHalfTableFilled());
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(failures[t], 0) << "thread " << t;
    EXPECT_EQ(seen[t], seen[0]) << "thread " << t;
  }
  // No thread saw a partly filled table: every entry matches ψ summed here in
  // long double, ψ(n) = −γ + Σ_{i<n} 1/i and ψ(k + 1/2) = −γ − 2 ln 2 + Σ_{i<k} 1/(i + 1/2).
  long double integer = -0.577215664901533L, half = integer - 2.0L * std::log(2.0L);
  for (int i = 0; i < 1000; ++i) {
    EXPECT_NEAR(seen[0][i], static_cast<double>(integer), 5e-13) << "x = " << Argument(i);
    EXPECT_NEAR(seen[0][1000 + i], static_cast<double>(half), 5e-13) << "x = " << Argument(1000 + i);
    integer += 1.0L / (i + 1);
    half += 1.0L / (i + 0.5L);
  }
}

}  // namespace
}  // namespace quorix
