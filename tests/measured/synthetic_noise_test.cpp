// The noise of the synthetic records (tests/support/synthetic.h): a log of
// correctly rounded operations only, and the polar method's deviates, drawn
// the same on every target so that the noisy tests see one record
// everywhere. Checked against the C library's log and the normal law's
// moments, not against the generator's own earlier output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "synthetic.h"

namespace quorix::measured::testing {
namespace {

// Within 4ε·|ln x| of std::log (itself within an ulp of ln x; 2.1ε the
// worst seen over 2·10⁶ arguments) at the edges of the reduction to
// [√½, √2), near 1 where ln x → 0, at the polar method's smallest s (two
// uniforms of 2⁻⁵²) and across (0, 1) and beyond.
TEST(PortableLog, CloseToTheCLibrarys) {
  const double eps = std::numeric_limits<double>::epsilon();
  const double edges[] = {0x1p-104,
                          std::numeric_limits<double>::min(),
                          1e-300,
                          0.5,
                          std::nextafter(0.70710678118654752, 0.0),
                          0.70710678118654752,
                          std::nextafter(0.70710678118654752, 1.0),
                          0.75,
                          1.0 - eps,
                          1.0 - 1e-9,
                          1.0,
                          1.0 + 2.0 * eps,
                          1.41421356237309505,
                          2.0,
                          3.0,
                          1e300};
  for (double x : edges) {
    const double want = std::log(x);
    EXPECT_LE(std::fabs(PortableLog(x) - want), 4.0 * eps * std::fabs(want)) << x;
  }
  std::mt19937_64 engine(99);
  for (int i = 0; i < 100000; ++i) {
    const double x = static_cast<double>((engine() >> 11) + 1) * 0x1p-53;  // (0, 1]
    const double want = std::log(x);
    ASSERT_LE(std::fabs(PortableLog(x) - want), 4.0 * eps * std::fabs(want)) << x;
  }
}

// 4·10⁵ deviates: mean 0, variance 1, kurtosis 3, the share within one
// standard deviation and beyond three those of the normal law, each within
// four of its own standard errors. The second of each pair is checked
// apart, since it comes from the cache rather than the loop, and the two of
// a pair must be uncorrelated.
TEST(NormalDeviates, HaveTheNormalLawsMoments) {
  constexpr int kPairs = 200000;
  NormalDeviates normal(7);
  struct Moments {
    double sum = 0, sum2 = 0, sum4 = 0, within1 = 0, beyond3 = 0;
    void Add(double x) {
      sum += x;
      sum2 += x * x;
      sum4 += x * x * x * x;
      within1 += std::fabs(x) < 1.0;
      beyond3 += std::fabs(x) > 3.0;
    }
  } first, second;
  double cross = 0.0;
  for (int i = 0; i < kPairs; ++i) {
    const double a = normal(), b = normal();
    first.Add(a);
    second.Add(b);
    cross += a * b;
  }
  const double n = kPairs;
  const double pWithin1 = std::erf(1.0 / std::sqrt(2.0)), pBeyond3 = std::erfc(3.0 / std::sqrt(2.0));
  for (const Moments* m : {&first, &second}) {
    EXPECT_NEAR(m->sum / n, 0.0, 4.0 / std::sqrt(n));
    EXPECT_NEAR(m->sum2 / n, 1.0, 4.0 * std::sqrt(2.0 / n));  // Var x² = 2
    EXPECT_NEAR(m->sum4 / n, 3.0, 4.0 * std::sqrt(96.0 / n));  // Var x⁴ = 105 − 9
    EXPECT_NEAR(m->within1 / n, pWithin1, 4.0 * std::sqrt(pWithin1 * (1.0 - pWithin1) / n));
    EXPECT_NEAR(m->beyond3 / n, pBeyond3, 4.0 * std::sqrt(pBeyond3 * (1.0 - pBeyond3) / n));
  }
  EXPECT_NEAR(cross / n, 0.0, 4.0 / std::sqrt(n));
}

}  // namespace
}  // namespace quorix::measured::testing
