// The properties at D against mpmath's integration of the law where the
// series in σⁿ and the Halley solves are tried hardest (small exponents,
// w near ±1, tiny amplitudes, the two sides of Zaⁿ = ½), and a Loop that
// serves many displacements and cases in any order giving each the bits of
// a Loop made for it alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "isolation.h"
#include "series_reference.h"

namespace quorix::isolation {
namespace {

double Relative(double value, double expected) { return std::abs(value - expected) / std::abs(expected); }

// Beyond Zaⁿ = ½ the area is 2·(2X − 2·G_w + D_w − D_1), terms of order X
// whose difference, for γ near 0 (w near 1), is thousands of times smaller:
// there the energy (and Dy, which carries it) is held to a few dozen ulps
// of 2X, not of itself.
TEST(IsolationSeries, MatchTheLawIntegratedByMpmath) {
  for (const IsolationReference& r : kSeriesReference) {
    SCOPED_TRACE("n = " + std::to_string(r.n) + ", gamma = " + std::to_string(r.gamma) + ", D = " + std::to_string(r.D));
    const Properties p = PropertiesAt(NormalisedCase(r.n, r.gamma, r.alpha, r.Fy, r.Uy), r.D);
    const double area = r.EDC / ((1.0 - r.alpha) * r.Fy * r.Uy);
    const double energyTolerance = std::max(1e-12, 64 * 0x1p-52 * 2.0 * (r.D / r.Uy) / area);
    EXPECT_LT(Relative(p.Keff, r.Keff), 1e-12);
    EXPECT_LT(Relative(p.EDC, r.EDC), energyTolerance);
    EXPECT_LT(Relative(p.betaEff, r.betaEff), energyTolerance);
    EXPECT_LT(Relative(p.Qd, r.Qd), 1e-12);
    const Bilinear b = EquivalentBilinear(p);
    EXPECT_LT(std::abs(b.Kd - r.Kd) / r.Keff, 1e-12);
    EXPECT_LT(std::abs(b.Dy - r.Dy) / r.D, energyTolerance);  // D − EDC/(4·Qd) carries the energy's error
  }
}

// Deep in saturation (n·v past 700 at the peak, where its gap nears the
// smallest double) both branches run along z = ±1: one more unit of X adds
// two stretches of length 2 at |z| = 1 to the loop, 4·Fh·Uy to the energy,
// and the crossing is z(0) = 1, Qd = Fh. γ = 0 has branches alike and no
// loop at all. Each amplitude once refused or, for γ = 0, left the rounding
// of two pole terms as its energy.
TEST(IsolationSeries, DeepSaturationAddsFourFhUyPerUnitOfX) {
  const double alpha = 0.1, Fy = 2.0, Uy = 0.5, Fh = (1.0 - alpha) * Fy;
  for (const double n : {0.2, 3.0, 200.0}) {
    for (const double gamma : {0.0, 0.5, 0.9}) {
      SCOPED_TRACE("n = " + std::to_string(n) + ", gamma = " + std::to_string(gamma));
      const Loop loop(NormalisedCase(n, gamma, alpha, Fy, Uy));
      const double X = 400.0 / n + 50.0;
      const Properties a = loop.At(X * Uy), b = loop.At((X + 10.0) * Uy);
      EXPECT_EQ(a.Za, 1.0);
      if (gamma == 0.0) {
        EXPECT_EQ(a.EDC, 0.0);
        EXPECT_EQ(b.Qd, 0.0);
      } else {
        EXPECT_NEAR(b.EDC - a.EDC, 40.0 * Fh * Uy, 1e-12 * b.EDC);
        EXPECT_NEAR(b.Qd, Fh, 1e-15 * Fh);
      }
    }
  }
}

// A Loop keeps nothing of one displacement for the next: the same D gives
// the same bits whatever was asked before it, in rising, falling or
// scattered order.
TEST(IsolationSeries, ALoopKeepsNothingBetweenDisplacements) {
  const Case c = NormalisedCase(1.7, 0.35, 0.08, 60.0, 0.02);
  std::vector<double> Ds;
  for (int i = 0; i < 40; ++i) Ds.push_back(c.Uy * 0.01 * std::pow(1.3, (i * 17) % 40));
  const Loop shared(c);
  for (const double D : Ds) {
    const Properties a = shared.At(D);
    const Properties b = Loop(c).At(D);
    EXPECT_EQ(a.Keff, b.Keff) << D;
    EXPECT_EQ(a.EDC, b.EDC) << D;
    EXPECT_EQ(a.Qd, b.Qd) << D;
  }
}

}  // namespace
}  // namespace quorix::isolation
