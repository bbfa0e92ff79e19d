// The properties at D against mpmath's integration of the law where the series in σⁿ and the Halley solves are
// tried hardest (small exponents, w near ±1, tiny amplitudes, both sides of Zaⁿ = ½), deep saturation, and a
// Loop serving many displacements giving each the bits of a Loop made for it alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "isolation.h"
#include "series_reference.h"

namespace quorix::isolation {
namespace {

double Relative(double value, double expected) { return std::abs(value - expected) / std::abs(expected); }

// Beyond Zaⁿ = ½ the area is 2·(2X − 2·G_w + D_w − D_1), terms of order X whose difference, for γ near 0, is
// thousands of times smaller: there the energy (and Dy, which carries it) is held to a few dozen ulps of 2X.
TEST(IsolationSeries, MatchTheLawIntegratedByMpmath) {
  for (const IsolationReference& r : kSeriesReference) {
    SCOPED_TRACE("n = " + std::to_string(r.n) + ", gamma = " + std::to_string(r.gamma) + ", D = " + std::to_string(r.D));
    const Properties p = PropertiesAt(NormalisedCase(r.n, r.gamma, r.alpha, r.Fy, r.Uy), r.D);
    const double area = r.EDC / ((1.0 - r.alpha) * r.Fy * r.Uy);
    const double tolerance = std::max(1e-12, 64 * 0x1p-52 * 2.0 * (r.D / r.Uy) / area);
    const Bilinear b = EquivalentBilinear(p);
    EXPECT_LT(Relative(p.Keff, r.Keff), 1e-12);
    EXPECT_LT(Relative(p.Qd, r.Qd), 1e-12);
    EXPECT_LT(std::abs(b.Kd - r.Kd) / r.Keff, 1e-12);
    EXPECT_LT(Relative(p.EDC, r.EDC), tolerance);
    EXPECT_LT(Relative(p.betaEff, r.betaEff), tolerance);
    EXPECT_LT(std::abs(b.Dy - r.Dy) / r.D, tolerance);
  }
}

// Past n·v = 700 at the peak both branches run along z = ±1: ten more units of X add 40·Fh·Uy to the energy and
// the crossing is z(0) = 1, Qd = Fh; γ = 0 has no loop at all. Each once refused or, for γ = 0, left the
// rounding of two pole terms as its energy.
TEST(IsolationSeries, DeepSaturationAddsFourFhUyPerUnitOfX) {
  const double alpha = 0.1, Fy = 2.0, Uy = 0.5, Fh = (1.0 - alpha) * Fy;
  for (const double n : {0.2, 3.0, 200.0}) {
    for (const double gamma : {0.0, 0.5, 0.9}) {
      SCOPED_TRACE("n = " + std::to_string(n) + ", gamma = " + std::to_string(gamma));
      const Loop loop(NormalisedCase(n, gamma, alpha, Fy, Uy));
      const double X = 400.0 / n + 50.0;
      const Properties a = loop.At(X * Uy), b = loop.At((X + 10.0) * Uy);
      EXPECT_EQ(a.Za, 1.0);
      EXPECT_NEAR(b.EDC - a.EDC, gamma == 0.0 ? 0.0 : 40.0 * Fh * Uy, 1e-12 * b.EDC);
      EXPECT_NEAR(b.Qd, gamma == 0.0 ? 0.0 : Fh, 1e-15 * Fh);
      EXPECT_TRUE(gamma != 0.0 || (a.EDC == 0.0 && b.Qd == 0.0)) << a.EDC << " " << b.Qd;
    }
  }
}

// A Loop keeps nothing of one displacement for the next, in scattered order.
TEST(IsolationSeries, ALoopKeepsNothingBetweenDisplacements) {
  const Case c = NormalisedCase(1.7, 0.35, 0.08, 60.0, 0.02);
  const Loop shared(c);
  for (int i = 0; i < 40; ++i) {
    const double D = c.Uy * 0.01 * std::pow(1.3, (i * 17) % 40);
    const Properties a = shared.At(D), b = Loop(c).At(D);
    EXPECT_TRUE(a.Keff == b.Keff && a.EDC == b.EDC && a.Qd == b.Qd) << D;
  }
}

}  // namespace
}  // namespace quorix::isolation
