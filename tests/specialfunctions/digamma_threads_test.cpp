// Runs in a process of its own: the first fill of each table happens here, by its own first use
// only, requested by several threads at the same moment.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "threads.h"
#include "specialfunctions.h"

namespace quorix {
namespace {

TEST(DigammaTables, FirstUseFillsEachAndGivesEveryThreadTheSameFullTable) {
  QUORIX_SKIP_WITHOUT_THREADS();
  ASSERT_FALSE(DigammaIntegerTableFilled() || DigammaHalfTableFilled());
  double value = 0.0;  // poles, and arguments the series answers, need neither table
  for (const double x : {0.0, -3.0, 1001.0, 2.25}) EXPECT_EQ(Digamma(x, value), x > 0 ? 2 : 0) << x;
  EXPECT_FALSE(DigammaIntegerTableFilled() || DigammaHalfTableFilled());
  // ψ(n) = −γ + Σ_{i<n} 1/i and ψ(k + 1/2) = −γ − 2 ln 2 + Σ_{i<k} 1/(i + 1/2), summed in long double.
  long double sums[2] = {-0.577215664901533L, -0.577215664901533L - 2.0L * std::log(2.0L)};
  for (const double offset : {1.0, 0.5}) {  // the integers 1 … 1000, then 0.5 … 999.5
    constexpr int kThreads = 8;
    std::vector<std::vector<double>> seen(kThreads, std::vector<double>(1000));
    std::vector<int> failures(kThreads, 0);
    testing::StartGate start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        start.ArriveAndWait();
        for (int i = 0; i < 1000; ++i) failures[t] += Digamma(i + offset, seen[t][i]) != 1;
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_TRUE(DigammaIntegerTableFilled());
    EXPECT_EQ(DigammaHalfTableFilled(), offset == 0.5);
    for (int t = 0; t < kThreads; ++t) {
      EXPECT_EQ(failures[t], 0) << "thread " << t;
      EXPECT_EQ(seen[t], seen[0]) << "thread " << t;
    }
    long double& sum = sums[offset == 0.5];
    for (int i = 0; i < 1000; ++i) {
      EXPECT_NEAR(seen[0][i], static_cast<double>(sum), 5e-13) << "x = " << i + offset;  // no partly filled table
      sum += 1.0L / (i + offset);
    }
  }
}

}  // namespace
}  // namespace quorix
