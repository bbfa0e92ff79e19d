// What a fit refuses and warns of, on the model's exact response along triangles (response.h): a refusal or
// a warning comes from the options or the path, never from the record's misfit.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "checks.h"
#include "cycles.h"
#include "fit.h"
#include "response.h"
#include "synthetic.h"

namespace quorix::measured {
namespace {

const Case kTrue{.n = 2.5, .gamma = 0.75, .alpha = 0.08, .Fy = 3.1, .Uy = 0.15};

struct Record {
  std::vector<double> u, F;
  CycleTable table;
};

// Triangles (synthetic.h) at each amplitude in units of Uy, the force p's.
Record Triangles(const Case& p, const std::vector<double>& amplitudes, int cycles, int perQuarter) {
  Record r{testing::Triangles(p.Uy, amplitudes, cycles, perQuarter).u, {}, {}};
  // F from z alone: the response refuses a softening α < 0, which a record may show.
  Case shape = p;
  shape.alpha = 0.0;
  const std::vector<double> z = response::RespondAlong(r.u, shape).z;
  for (std::size_t k = 0; k < z.size(); ++k) r.F.push_back(p.alpha * p.Fy * (r.u[k] / p.Uy) + (1.0 - p.alpha) * p.Fy * z[k]);
  r.table = FindCycles(r.u, r.F);
  return r;
}

// Samples a quarter cycle: the warnings and refusals hang on the path and the options, not on the density,
// and a sparser record keeps the many fits cheap under the unoptimised sanitizers.
constexpr int kPerQuarter = 40;

// Three cycles at each of 0.8, 1.5 and 3 Uy: only cycle 8 (index 7) is steady.
const Record& Rising() {
  static const Record r = Triangles(kTrue, {0.8, 1.5, 3.0}, 3, kPerQuarter);
  return r;
}

FitOptions With(std::vector<const char*> fixed, std::vector<const char*> start = {}, bool steady = false) {
  FitOptions o;
  o.steady = steady;
  for (const char* a : fixed) SetParameter(o.fixed, a);
  for (const char* a : start) SetParameter(o.start, a);
  return o;
}

using FitEntry = FitResult (*)(const std::vector<double>&, const std::vector<double>&, const CycleTable&,
                                const FitOptions&);

std::string RefusalOf(const Record& r, const FitOptions& options, FitEntry fit = Fit) {
  return quorix::testing::ThrownMessage<Refusal>([&] { fit(r.u, r.F, r.table, options); });
}

// Every entry refuses on its own what no fit can answer.
TEST(FitTrust, EveryEntryRefusesWhatNoFitCanAnswer) {
  Record oneShort = Rising();
  oneShort.F.pop_back();
  Record mirrored = Rising();
  for (double& f : mirrored.F) f = -f;
  mirrored.table = FindCycles(mirrored.u, mirrored.F);
  FitOptions flatUy;
  flatUy.fixed[4] = 0.0;
  const struct {
    const char* what;
    const Record& record;
    FitOptions options;
    const char* refusal;
  } cases[] = {{"one force short", oneShort, {}, "displacements and forces differ in number"},
               {"loops mirrored", mirrored, {}, "cannot fit: all 8 cycles run counter-clockwise (negative EDC)"},
               {"Uy held at 0", Rising(), flatUy, "Uy=0: Uy must be positive (outside the model's domain)"}};
  const struct {
    const char* name;
    FitEntry fit;
    bool steady;
  } entries[] = {{"Fit", Fit, false}, {"Fit, steady", Fit, true}, {"FitRecord", FitRecord, false},
                 {"FitSteady", FitSteady, false}};
  for (const auto& c : cases) {
    for (const auto& e : entries) {
      FitOptions options = c.options;
      options.steady = e.steady;
      const std::string refusal = RefusalOf(c.record, options, e.fit);
      EXPECT_NE(refusal.find(c.refusal), std::string::npos) << c.what << ", " << e.name << ": " << refusal;
    }
  }
}

TEST(FitTrust, RefusesUndeterminedParametersAndValuesOutsideTheDomain) {
  // From n = 1e12 the loop is bilinear to the last digit: named, not fitted with zero errors. From n = 1e6
  // the force still moves with n (a column of J near 1e-11): a search scaled to each column comes back.
  const std::string bilinear = RefusalOf(Rising(), With({}, {"n=1e12"}, true));
  EXPECT_NE(bilinear.find("does not determine n"), std::string::npos) << bilinear;
  const FitResult back = Fit(Rising().u, Rising().F, Rising().table, With({}, {"n=1e6"}, true));
  EXPECT_NEAR(back.parameters.n, kTrue.n, 1e-9 * kTrue.n);
  EXPECT_NEAR(back.parameters.Uy, kTrue.Uy, 1e-9 * kTrue.Uy);
  // Outside the domain (its rules are the solver's), or not an assignment of a parameter.
  const std::pair<const char*, const char*> outside[] = {
      {"n=-1", "n=-1: n must be positive"}, {"beta=1.5", "beta must not exceed 1"},
      {"gamma=-0.5", "gamma must not be negative"},
      {"k=2", ""}, {"n", ""}, {"n=2x", ""}, {"Fy=nan", ""}};
  for (const auto& [assignment, message] : outside) {
    FitOptions o;
    const char* text = assignment;  // a structured binding is not captured by every compiler's C++20
    const std::string refusal = quorix::testing::ThrownMessage<Refusal>([&] { SetParameter(o.start, text); });
    EXPECT_TRUE(refusal != "(accepted)" && refusal.find(message) != std::string::npos) << assignment << ": " << refusal;
  }
  FitOptions o;
  SetParameter(o.fixed, "fy=+3");  // the name in any case, the value as the window reads it
  EXPECT_EQ(o.fixed[3], 3.0);
}

TEST(FitTrust, WarnsWhereTheFitMayNotMeanWhatItSays) {
  using W = FitWarning;
  const Case falling{.n = 2.5, .gamma = 0.75, .alpha = -0.05, .Fy = 3.1, .Uy = 0.15};
  static const Record twoEach = Triangles(kTrue, {0.3, 0.6, 1.0, 1.5}, 2, 100);  // sparser: alpha undetermined too
  static const Record softening = Triangles(falling, {0.8, 1.5, 3.0}, 3, kPerQuarter);
  FitOptions smallOnes;
  smallOnes.cycles = {0, 1};
  static const Record belowYield = Triangles(kTrue, {0.3}, 3, kPerQuarter);
  // Noise on u as a share of the median step (1.5 Uy / kPerQuarter a sample), the force the model's along the
  // clean path.
  auto noisy = [](double share) {
    Record r = Rising();
    testing::NormalDeviates normal(7);
    for (double& u : r.u) u += share * (1.5 * kTrue.Uy / kPerQuarter) * normal();
    r.table = FindCycles(r.u, r.F);
    return r;
  };
  static const Record noisyU = noisy(0.3);
  static const Record quietU = noisy(0.1);
  const struct {
    const char* what;
    const Record& record;
    FitOptions options;
    std::vector<W> warnings;
  } cases[] = {
      {"every sample of a rising record", Rising(), {}, {}},
      {"the steady cycle alone", Rising(), With({}, {}, true), {}},
      {"Uy held at twice its value", Rising(), With({"Uy=0.3"}), {W::kMisfit, W::kNegativeAlpha}},
      {"a force falling after yield", softening, {}, {W::kNegativeAlpha}},
      {"two cycles at each amplitude, along the record", twoEach, {}, {}},
      {"two cycles at each amplitude, steady loops", twoEach, With({}, {}, true),
       {W::kMisfit, W::kNegativeAlpha, W::kNoSteadyCycle}},
      {"the two smallest cycles", Rising(), smallOnes, {W::kNarrowRange}},
      {"cycles at 0.3 Uy, Uy held", belowYield, With({"Uy=0.15"}), {W::kBelowYield}},
      {"noise of a third of a step on u", noisyU, {}, {W::kNoisyDisplacement}},
      {"noise of a tenth of a step on u", quietU, {}, {}},
  };
  for (const auto& c : cases) {
    const FitResult fit = Fit(c.record.u, c.record.F, c.record.table, c.options);
    EXPECT_EQ(fit.warnings, c.warnings) << c.what << ": " << ::testing::PrintToString(WarningTexts(fit, 1));
  }
  const FitResult small = Fit(Rising().u, Rising().F, Rising().table, smallOnes);
  EXPECT_EQ(FittedSummary(small, 1), "fitted: cycles 1-2, amplitude 0.12; left out: steady cycle 8; wider cycles 3-8");
  const std::vector<std::string> texts = WarningTexts(small, 0);
  EXPECT_TRUE(texts.size() == 1 && texts[0].find("the wider cycles 2-7 were left out") != std::string::npos)
      << ::testing::PrintToString(texts);
}

// A free parameter is named when its standard error passes a quarter of its value (of 1 for the shares γ and
// α); a held one never; NaN always.
TEST(FitTrust, NamesTheParametersTheRecordHardlyDetermines) {
  FitResult fit;
  fit.parameters = kTrue;
  fit.peakZ = 1.0;
  fit.rmsRelative = 0.01;
  const struct {
    std::array<double, 5> errors;
    std::array<bool, 5> fixed;
    std::vector<std::size_t> named;
  } cases[] = {{{0.6, 0.24, 0.24, 0.7, 0.03}, {}, {}},
               {{0.7, 0.26, 0.3, 0.8, 0.04}, {}, {0, 1, 2, 3, 4}},
               {{0.7, 0.26, 0.3, 0.8, 0.04}, {true, true, false, true, true}, {2}},
               {{NAN, 0.0, 0.0, 0.0, 0.0}, {}, {0}}};
  for (const auto& c : cases) {
    fit.errors = c.errors;
    fit.fixed = c.fixed;
    EXPECT_EQ(UndeterminedParameters(fit), c.named) << ::testing::PrintToString(c.errors);
  }
  fit.warnings = {FitWarning::kUndetermined};
  EXPECT_EQ(WarningTexts(fit, 1).at(0),
            "the record hardly determines n (2.5 with a standard error of nan): other values would fit it almost as "
            "well");
}

// Beyond 20000 samples the search runs on a thinned copy and ends on every sample; thousands of small
// cycles that hardly open are refused from the copy.
TEST(FitTrust, LongRecordsFitOnEverySampleOrAreRefusedEarly) {
  const Record longer = Triangles(kTrue, {0.8, 1.5, 3.0}, 3, 1000);
  const FitResult fit = Fit(longer.u, longer.F, longer.table);
  EXPECT_EQ(fit.points.size(), longer.u.size());
  EXPECT_GT(fit.sketchSamples, 0u);
  EXPECT_LT(fit.sketchSamples, 25000u);
  const double truth[5] = {kTrue.n, kTrue.gamma, kTrue.alpha, kTrue.Fy, kTrue.Uy};
  const double got[5] = {fit.parameters.n, fit.parameters.gamma, fit.parameters.alpha, fit.parameters.Fy,
                         fit.parameters.Uy};
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(got[i], truth[i], 1e-9 * truth[i]) << kParameterNames[i];

  const Record many = Triangles(kTrue, {0.3}, 20000, 3);  // 240001 samples, 40000 reversals
  EXPECT_NE(RefusalOf(many, {}).find("does not determine"), std::string::npos) << RefusalOf(many, {});
  // The steady fit takes at most 64 of many cycles, spread evenly, and says so.
  const Record wide = Triangles(kTrue, {2.0}, 2000, 3);
  const FitResult steady = Fit(wide.u, wide.F, wide.table, With({"n=2.5", "gamma=0.75"}, {}, true));
  EXPECT_LE(steady.cycles.size(), 66u);
  EXPECT_EQ(steady.spreadFrom + 1, wide.table.cycles.size());  // all but the first are steady
  EXPECT_EQ(steady.leftOutSteady.size() + steady.cycles.size(), steady.spreadFrom);
  EXPECT_NEAR(steady.parameters.Uy, kTrue.Uy, 1e-9 * kTrue.Uy);
}

}  // namespace
}  // namespace quorix::measured
