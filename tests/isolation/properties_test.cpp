// The properties at D against mpmath's integration of the law, the limit of
// a large exponent (the elastic-perfectly-plastic hysteretic share), the
// bilinear loop's own closed forms, and what is refused.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "checks.h"
#include "isolation.h"
#include "isolation_bounds.h"
#include "isolation_reference.h"

namespace quorix::isolation {
namespace {

double Relative(double value, double expected) { return std::abs(value - expected) / std::abs(expected); }

TEST(IsolationProperties, MatchTheLawIntegratedByMpmath) {
  for (const IsolationReference& r : kIsolationReference) {
    SCOPED_TRACE("n = " + std::to_string(r.n) + ", gamma = " + std::to_string(r.gamma) + ", D = " + std::to_string(r.D));
    const Properties p = PropertiesAt(NormalisedCase(r.n, r.gamma, r.alpha, r.Fy, r.Uy), r.D);
    EXPECT_LT(Relative(p.Keff, r.Keff), 1e-12);
    EXPECT_LT(Relative(p.EDC, r.EDC), 1e-12);
    EXPECT_LT(Relative(p.betaEff, r.betaEff), 1e-12);
    EXPECT_LT(Relative(p.Qd, r.Qd), 1e-12);
    ASSERT_EQ(BilinearStatusOf(p), BilinearStatus::Exists);
    const Bilinear b = EquivalentBilinear(p);
    // Kd = Keff − Qd/D and Dy = D − EDC/(4·Qd) are differences: measured
    // against the larger of their terms.
    EXPECT_LT(std::abs(b.Kd - r.Kd) / r.Keff, 1e-12);
    EXPECT_LT(std::abs(b.Dy - r.Dy) / r.D, 1e-12);
  }
}

// As n grows, z follows x at slope 1 until it saturates at ±1: from −1 at
// u = −D the loading branch reaches z = X − 1 at u = 0 (capped at 1), the
// z–x loop is a parallelogram of area 4·(X − 1), and F(D) = α·Fy·X + Fh.
TEST(IsolationProperties, TendToTheBilinearLoopAsTheExponentGrows) {
  const double alpha = 0.1, Fy = 50.0, Uy = 0.02, Fh = (1.0 - alpha) * Fy;
  for (const double X : {1.5, 3.0, 10.0}) {
    const double D = X * Uy;
    const double Keff = (alpha * Fy * X + Fh) / D;
    const double EDC = 4.0 * Fh * Uy * (X - 1.0);
    const double Qd = Fh * std::min(1.0, X - 1.0);
    double previous = INFINITY;
    for (const double n : {25.0, 100.0, 400.0}) {
      const Properties p = PropertiesAt(NormalisedCase(n, 0.5, alpha, Fy, Uy), D);
      const double error = std::max({Relative(p.Keff, Keff), Relative(p.EDC, EDC), Relative(p.Qd, Qd)});
      EXPECT_LT(error, previous) << "X = " << X << ", n = " << n;
      previous = error;
    }
    EXPECT_LT(previous, 0.02) << "X = " << X;
  }
}

// The bilinear loop built from the model at D has, at that D, the model's
// Keff, EDC, βeff and characteristic strength: its own closed forms give them back.
TEST(IsolationProperties, EquivalentBilinearGivesBackKeffEdcBetaAndQd) {
  for (const double n : {0.5, 1.0, 2.0, 8.0}) {
    for (const double X : {0.3, 2.0, 20.0}) {
      const Case c = NormalisedCase(n, 0.7, 0.05, 120.0, 0.01);
      const Properties p = PropertiesAt(c, X * c.Uy);
      const Bilinear b = EquivalentBilinear(p);
      const Properties q = BilinearPropertiesAt(b, p.D);
      EXPECT_NEAR(q.Keff, p.Keff, 1e-13 * p.Keff) << n << " " << X;
      EXPECT_NEAR(q.EDC, p.EDC, 1e-13 * p.EDC) << n << " " << X;
      EXPECT_NEAR(q.betaEff, p.betaEff, 1e-13 * p.betaEff) << n << " " << X;
      EXPECT_EQ(q.Qd, p.Qd);
      EXPECT_NEAR(b.Ku, b.Kd + b.Qd / b.Dy, 1e-13 * b.Ku);
    }
  }
}

// The bound model, computed again from scratch at D, has λ times the
// nominal Qd and Kd; and a λ_K too small for any α is refused.
TEST(IsolationBounds, ModelsHaveTheFactoredQdAndKd) {
  const Factors factors[] = {{0.85, 0.9}, {1.4, 1.2}, {1.0, 1.0}, {2.0, 0.8}};
  for (const double n : {0.7, 2.0, 6.0}) {
    const Case c = NormalisedCase(n, 0.4, 0.06, 90.0, 0.015);
    for (const double D : {0.06, 0.3}) {  // beyond Uy: Kd's elastic part large enough for every factor
      const Bilinear nominal = EquivalentBilinear(PropertiesAt(c, D));
      for (const Factors& f : factors) {
        const Case bound = BoundCase(c, D, f);
        EXPECT_EQ(std::tuple(bound.n, bound.gamma, bound.Uy), std::tuple(c.n, c.gamma, c.Uy));
        const Bilinear b = EquivalentBilinear(PropertiesAt(bound, D));
        EXPECT_NEAR(b.Qd, f.Qd * nominal.Qd, 1e-12 * b.Qd) << n << " " << D;
        EXPECT_NEAR(b.Kd, f.Kd * nominal.Kd, 1e-9 * b.Kd) << n << " " << D;
      }
    }
  }
  const Case slow = NormalisedCase(0.5, 0.5, 0.01, 120.0, 0.012);
  EXPECT_THROW(BoundCase(slow, 0.05, {1.0, 1e-4}), Refusal);
}

TEST(IsolationProperties, RefuseWhatDoesNotExist) {
  const Case c = NormalisedCase(2.0, 0.5, 0.1, 100.0, 0.01);
  struct Bad {
    Case c;
    double D;
    const char* words;
  };
  Case general = c;
  general.A = 2.0;
  const Bad bad[] = {
      {c, 0.0, "D must be positive and finite: 0"},
      {c, -1.0, "D must be positive and finite: -1"},
      {c, NAN, "D must be positive and finite: nan"},
      {c, INFINITY, "D must be positive and finite: inf"},
      {NormalisedCase(-1.0, 0.5, 0.1, 100.0, 0.01), 0.01, "n must be positive: -1"},
      {NormalisedCase(2.0, 0.5, 1.0, 100.0, 0.01), 0.01, "alpha"},
      {general, 0.01, "A = 2"},
  };
  for (const Bad& b : bad) {
    const std::string message = testing::ThrownMessage<Refusal>([&] { PropertiesAt(b.c, b.D); });
    EXPECT_NE(message.find(b.words), std::string::npos) << message;
  }
  // γ = 0: both branches follow 1 − zⁿ, the loop closes to a curve, no
  // characteristic strength and no energy.
  const Properties elastic = PropertiesAt(NormalisedCase(2.0, 0.0, 0.1, 100.0, 0.01), 0.03);
  EXPECT_EQ(elastic.Qd, 0.0);
  EXPECT_EQ(BilinearStatusOf(elastic), BilinearStatus::NoStrength);
  EXPECT_THROW(EquivalentBilinear(elastic), Refusal);
  // A loop whose energy would put the yield point beyond the origin.
  Properties wide = PropertiesAt(c, 0.03);
  wide.EDC = 4.0 * wide.Qd * wide.D * 1.5;
  EXPECT_EQ(BilinearStatusOf(wide), BilinearStatus::YieldNotInside);
  const std::string message = testing::ThrownMessage<Refusal>([&] { EquivalentBilinear(wide); });
  EXPECT_NE(message.find("Dy must lie in (0, D): -0.015"), std::string::npos) << message;
}

}  // namespace
}  // namespace quorix::isolation
