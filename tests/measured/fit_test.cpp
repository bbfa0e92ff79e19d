// Fits of synthetic records made by integrating the law in time: the
// parameters come back, and records that cannot determine them are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

#include "fit.h"
#include "synthetic.h"

namespace quorix::measured {
namespace {

using testing::Block;
using testing::MakeRecord;
using testing::TrueModel;

struct RecoveryCase {
  const char* name;
  TrueModel m;
  double amplitudes[3];  // in units of Uy
  bool noisy;
};

void PrintTo(const RecoveryCase& c, std::ostream* os) { *os << c.name; }

class Recovery : public ::testing::TestWithParam<RecoveryCase> {};

// Three amplitudes, three cycles each (each block begun on its steady
// cycle, which the closed form describes). Noiseless: all five within
// 1e-6; with 1 % force noise, 0.1 % displacement noise and a 1 % drift of
// the force's zero: Fy, Uy, α within 2 %, n and γ within 5 %.
TEST_P(Recovery, FindsTheTrueParameters) {
  const RecoveryCase& c = GetParam();
  std::vector<Block> blocks;
  for (double a : c.amplitudes) blocks.push_back(Block{a * c.m.Uy, 3, true});
  auto rec = MakeRecord(c.m, blocks, 1000, 8);
  if (c.noisy) testing::AddNoise(rec, 0.01, 0.001, 0.01, 20261207);
  const CycleTable table = FindCycles(rec.u, rec.F);
  const FitResult fit = FitCycles(rec.u, rec.F, table);
  const double truth[5] = {c.m.n, c.m.gamma, c.m.alpha, c.m.Fy, c.m.Uy};
  const double got[5] = {fit.parameters.n, fit.parameters.gamma, fit.parameters.alpha, fit.parameters.Fy,
                         fit.parameters.Uy};
  const double tolerance[5] = {c.noisy ? 0.05 : 1e-6, c.noisy ? 0.05 : 1e-6, c.noisy ? 0.02 : 1e-6,
                               c.noisy ? 0.02 : 1e-6, c.noisy ? 0.02 : 1e-6};
  for (int i = 0; i < 5; ++i) {
    EXPECT_NEAR(got[i], truth[i], tolerance[i] * std::fabs(truth[i])) << kParameterNames[i];
    // The true value lies within a few standard errors of the fitted one.
    if (c.noisy) {
      EXPECT_LT(std::fabs(got[i] - truth[i]), 5.0 * fit.errors[i]) << kParameterNames[i];
    }
  }
  std::printf("%s: n %.9g gamma %.9g alpha %.9g Fy %.9g Uy %.9g  (rms/F+ %.3g, %d iterations)\n", c.name, got[0],
              got[1], got[2], got[3], got[4], fit.rmsRelative, fit.iterations);
  // Noise and drift add area of their own to a small cycle; without them
  // the model's DE is the measured area.
  for (const CycleFit& cf : fit.cycles) {
    if (!c.noisy) {
      EXPECT_NEAR(cf.modelEDC, cf.measuredEDC, 1e-6 * cf.measuredEDC);
    }
  }
  EXPECT_LT(fit.rmsRelative, c.noisy ? 0.02 : 1e-7);
}

INSTANTIATE_TEST_SUITE_P(
    Records, Recovery,
    ::testing::Values(RecoveryCase{"soft_n2", {2.0, 0.7, 0.1, 50.0, 2.0}, {0.7, 1.5, 4.0}, false},
                      RecoveryCase{"sharp_n5", {5.0, 0.9, 0.05, 1.2, 0.01}, {0.5, 1.2, 3.0}, false},
                      RecoveryCase{"smooth_n1p5", {1.5, 0.5, 0.2, 10.0, 1.0}, {0.6, 1.5, 5.0}, false},
                      RecoveryCase{"soft_n2_noisy", {2.0, 0.7, 0.1, 50.0, 2.0}, {0.7, 1.5, 4.0}, true},
                      RecoveryCase{"sharp_n5_noisy", {5.0, 0.9, 0.05, 1.2, 0.01}, {0.5, 1.2, 3.0}, true},
                      RecoveryCase{"smooth_n1p5_noisy", {1.5, 0.5, 0.2, 10.0, 1.0}, {0.6, 1.5, 5.0}, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A held parameter stays where it is put and the others still come back.
TEST(Fit, FixedParameterIsHeld) {
  const TrueModel m{2.0, 0.7, 0.1, 50.0, 2.0};
  auto rec = MakeRecord(m, {Block{1.4, 3, true}, Block{3.0, 3, true}, Block{8.0, 3, true}}, 1000, 8);
  testing::AddNoise(rec, 0.01, 0.001, 0.01, 99);
  FitOptions options;
  SetParameter(options.fixed, "n=2");
  SetParameter(options.fixed, "beta=0.3");  // γ = 0.7
  const FitResult fit = FitCycles(rec.u, rec.F, FindCycles(rec.u, rec.F), options);
  EXPECT_EQ(fit.parameters.n, 2.0);
  EXPECT_EQ(fit.parameters.gamma, 1.0 - 0.3);
  EXPECT_TRUE(fit.fixed[0] && fit.fixed[1] && !fit.fixed[2]);
  EXPECT_EQ(fit.errors[0], 0.0);
  EXPECT_NEAR(fit.parameters.alpha, m.alpha, 0.02 * m.alpha);
  EXPECT_NEAR(fit.parameters.Fy, m.Fy, 0.02 * m.Fy);
  EXPECT_NEAR(fit.parameters.Uy, m.Uy, 0.02 * m.Uy);
}

struct Unidentifiable {
  const char* name;
  TrueModel m;
  std::vector<Block> blocks;
  const char* message;
};

void PrintTo(const Unidentifiable& c, std::ostream* os) { *os << c.name; }

class Refused : public ::testing::TestWithParam<Unidentifiable> {};

TEST_P(Refused, WithAClearMessage) {
  const Unidentifiable& c = GetParam();
  auto rec = MakeRecord(c.m, c.blocks, 500);
  testing::AddNoise(rec, 1e-4, 0.0, 0.0, 5);
  const CycleTable table = FindCycles(rec.u, rec.F);
  try {
    const FitResult fit = FitCycles(rec.u, rec.F, table);
    ADD_FAILURE() << "fitted n " << fit.parameters.n << " gamma " << fit.parameters.gamma << " Uy " << fit.parameters.Uy;
  } catch (const FitError& e) {
    EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Records, Refused,
    ::testing::Values(
        // α = 1: F = Fy·u/Uy, a straight line.
        Unidentifiable{"elastic", {2.0, 0.5, 1.0, 10.0, 1.0}, {Block{2.0, 3, true}}, "enclose almost no area"},
        Unidentifiable{"one_tiny_cycle", {2.0, 0.5, 0.1, 10.0, 1.0}, {Block{0.02, 2, true}}, "almost no area"},
        Unidentifiable{"one_small_cycle", {2.0, 0.7, 0.1, 10.0, 1.0}, {Block{0.2, 2, true}}, "does not determine"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Fit, BadAssignmentsAreNamed) {
  FitOptions options;
  EXPECT_THROW(SetParameter(options.fixed, "k=2"), FitError);
  EXPECT_THROW(SetParameter(options.fixed, "n"), FitError);
  EXPECT_THROW(SetParameter(options.fixed, "n=2x"), FitError);
  EXPECT_THROW(SetParameter(options.fixed, "Fy=nan"), FitError);
  SetParameter(options.fixed, "fy=+3");
  EXPECT_EQ(options.fixed[3], 3.0);
}

}  // namespace
}  // namespace quorix::measured
