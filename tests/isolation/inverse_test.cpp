// The inverse design's cases, computed again from scratch at D, have the
// target; targets out of reach are refused with the range.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "isolation.h"
#include "isolation_inverse.h"

namespace quorix::isolation {
namespace {

TEST(IsolationInverse, CasesReachTheirTargets) {
  // Targets taken from known cases, so that each is reachable.
  const Case known = NormalisedCase(1.5, 0.6, 0.07, 150.0, 0.015);
  for (const double D : {0.01, 0.05, 0.2}) {
    const Properties p = PropertiesAt(known, D);
    const Bilinear b = EquivalentBilinear(p);
    for (const bool fixUy : {true, false}) {
      for (const Target target : {Target::KeffBeta, Target::QdKd}) {
        InverseInput in{.D = D, .n = known.n, .gamma = known.gamma, .fixUy = fixUy,
                        .fixed = fixUy ? known.Uy : known.alpha, .target = target,
                        .first = target == Target::KeffBeta ? p.Keff : p.Qd,
                        .second = target == Target::KeffBeta ? p.betaEff : b.Kd};
        const std::vector<Case> cases = InverseDesign(in);
        ASSERT_FALSE(cases.empty());
        bool foundKnown = false;
        for (const Case& c : cases) {
          const Properties q = PropertiesAt(c, D);
          if (target == Target::KeffBeta) {
            EXPECT_NEAR(q.Keff, p.Keff, 1e-9 * p.Keff) << D << fixUy;
            EXPECT_NEAR(q.betaEff, p.betaEff, 1e-9 * p.betaEff) << D << fixUy;
          } else {
            EXPECT_NEAR(q.Qd, p.Qd, 1e-9 * p.Qd) << D << fixUy;
            EXPECT_NEAR(EquivalentBilinear(q).Kd, b.Kd, 1e-8 * b.Kd) << D << fixUy;
          }
          foundKnown = foundKnown || (std::abs(c.Fy / known.Fy - 1.0) < 1e-8 && std::abs(c.Uy / known.Uy - 1.0) < 1e-8 &&
                                      std::abs(c.alpha - known.alpha) < 1e-9);
        }
        EXPECT_TRUE(foundKnown) << "D " << D << " fixUy " << fixUy << " target " << static_cast<int>(target);
      }
    }
  }
}

TEST(IsolationInverse, RefusesTargetsOutOfReachWithTheRange) {
  InverseInput uy{.D = 0.1, .n = 2.0, .gamma = 0.5, .fixUy = true, .fixed = 0.01, .target = Target::KeffBeta,
                  .first = 1000.0, .second = 0.9};
  InverseInput alpha = uy;
  alpha.fixUy = false;
  alpha.fixed = 0.05;
  for (const InverseInput& in : {uy, alpha}) {
    try {
      InverseDesign(in);
      ADD_FAILURE() << "a betaEff of 0.9 reached";
    } catch (const Refusal& e) {
      EXPECT_NE(std::string(e.what()).find("reaches betaEff from"), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace quorix::isolation
