// The remembered series under a tight bound on their memory, from two
// threads at once: values forgotten while another thread waits for them or
// asks for them again must come back with the same bits, and the memory
// must stay within its bound.
#include <gtest/gtest.h>

#include <bit>
#include <thread>
#include <vector>

#include "digamma_memory.h"
#include "specialfunctions.h"

namespace quorix {
namespace {

TEST(RememberedSeriesThreads, ABoundedMemoryForgetsButNeverChangesAValue) {
  constexpr std::size_t kPerShard = 3;
  detail::SetRememberedSeriesLimit(kPerShard);
  // Arguments of series (neither whole nor half-whole), each asked by both
  // threads, in opposite orders, some with companions as a loop asks.
  constexpr int kCount = 120;
  auto argument = [](int i) { return i + 0.3; };
  std::vector<std::vector<double>> seen(2, std::vector<double>(kCount));
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&, t] {
      for (int n = 0; n < kCount; ++n) {
        const int i = t == 0 ? n : kCount - 1 - n;
        if (i % 3 == 0) {
          DigammaAtStep(0.3, i, seen[t][i]);
        } else {
          Digamma(argument(i), seen[t][i]);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  EXPECT_LE(detail::RememberedSeriesCount(), 16 * kPerShard);
  for (int i = 0; i < kCount; ++i) {
    double expected = 0.0;
    ASSERT_NE(DigammaSeries(argument(i), expected), 0);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(seen[0][i]), std::bit_cast<std::uint64_t>(expected)) << argument(i);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(seen[1][i]), std::bit_cast<std::uint64_t>(expected)) << argument(i);
  }
  detail::SetRememberedSeriesLimit(0);
}

}  // namespace
}  // namespace quorix
