// Whole accurate Solves against mpmath (data/solve.tsv): n from 0.3 to 10,
// γ from 0.5 to 0.99, U from 1e-4 to beyond saturation, both formula sets,
// and a few cases outside that grid (w = β − γ > 0, n = 0.05 and 50, w = 1,
// w = −3). Every result must lie within 1e-12 relative of the exact value
// (1e-300 absolute where that is 0); the test prints the worst error per
// result in ulps and relative units.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "accurate.h"
#include "energy_solver.h"
#include "reference_table.h"

namespace quorix::accurate {
namespace {

using testing::ReadTable;
using testing::Row;
using testing::WorstError;

constexpr std::array<const char*, 9> kResultNames = {"Za",  "Fha",        "Fela",       "Fa", "Kcd",
                                                     "Kda", "DE/(Fy Uy)", "DE/(Fh Uy)", "DE"};

std::array<double, 9> Results(const BoucWenCase& bw) {
  return {bw.Za, bw.Fha, bw.Fela, bw.Fa, bw.Kcd, bw.Kda, bw.DEOverFyUy, bw.DEOverFhUy, bw.DE};
}

BoucWenCase Case(double n, double beta, double gamma, double u, bool complementary) {
  BoucWenCase bw;
  bw.Nee = n;
  bw.BetaSmall = beta;
  bw.GammaSmall = gamma;
  bw.AlphaSmall = 0.1;
  bw.Fy = 2.86;
  bw.Uy = 0.111;
  bw.UmaxOverUy = u;
  bw.Complementary = complementary;
  return bw;
}

TEST(AccurateSolve, MatchesReferenceTable) {
  std::array<WorstError, 9> worst = {WorstError("Za"),         WorstError("Fha"),        WorstError("Fela"),
                                     WorstError("Fa"),         WorstError("Kcd"),        WorstError("Kda"),
                                     WorstError("DE/(Fy Uy)"), WorstError("DE/(Fh Uy)"), WorstError("DE")};
  WorstError all("all nine results");
  for (const Row& row : ReadTable("solve.tsv")) {
    BoucWenCase bw;
    bw.Nee = static_cast<double>(row.numbers[0]);
    bw.BetaSmall = static_cast<double>(row.numbers[1]);
    bw.GammaSmall = static_cast<double>(row.numbers[2]);
    bw.AlphaSmall = static_cast<double>(row.numbers[3]);
    bw.Fy = static_cast<double>(row.numbers[4]);
    bw.Uy = static_cast<double>(row.numbers[5]);
    bw.UmaxOverUy = static_cast<double>(row.numbers[6]);
    bw.Complementary = row.fields[7] == "1";
    Solve(bw);
    const std::array<double, 9> results = Results(bw);
    const std::string where = "line " + std::to_string(row.line) + ": n = " + row.fields[0] +
                              ", gamma = " + row.fields[2] + ", U = " + row.fields[6] +
                              (bw.Complementary ? ", compl" : ", direct");
    for (std::size_t i = 0; i < results.size(); ++i) {
      const long double expected = row.numbers[8 + i];
      worst[i].Add(results[i], expected, where);
      all.Add(results[i], expected, where + ", " + kResultNames[i]);
      if (expected == 0.0L) {
        EXPECT_LE(std::fabs(results[i]), 1e-300) << kResultNames[i] << ", " << where;
      } else {
        EXPECT_LE(testing::RelativeError(results[i], expected), 1e-12) << kResultNames[i] << ", " << where;
        // What the path reaches, with a margin: a regression far below the
        // target above still shows.
        EXPECT_LE(testing::UlpError(results[i], expected), 8.0) << kResultNames[i] << ", " << where;
      }
    }
  }
  for (const WorstError& w : worst) std::cout << "[accuracy] solve " << w.Report() << "\n";
  std::cout << "[accuracy] solve " << all.Report() << "\n";
}

// β − γ = 1 makes both integrals ∫dz/(1 − zⁿ): for n = 2 the amplitude is
// artanh(x), so Za = tanh(U), and the two branches of the loop dissipate
// nothing (D = H₁ − H_w = 0) in either formula set below saturation.
TEST(AccurateSolve, EqualIntegralsGiveTanhRootAndNoEnergy) {
  for (bool complementary : {false, true}) {
    for (double u : {1e-3, 0.5, 3.0}) {
      BoucWenCase bw = Case(2.0, 1.0, 0.0, u, complementary);
      Solve(bw);
      EXPECT_NEAR(bw.Za, std::tanh(u), 2e-16 * std::tanh(u)) << u;
      EXPECT_EQ(bw.DEOverFhUy, 0.0) << u;
      EXPECT_EQ(bw.DE, 0.0) << u;
    }
  }
}

TEST(AccurateSolve, ZeroAmplitudeGivesZeroResults) {
  for (bool complementary : {false, true}) {
    BoucWenCase bw = Case(3.0, 0.1, 0.9, 0.0, complementary);
    Solve(bw);
    for (double r : Results(bw)) EXPECT_EQ(r, 0.0);
  }
}

// Above the amplitude at ZaUpperBound, Za is exactly 1; the Direct energy no
// longer depends on U and the Complementary one grows by 4 per unit of U.
TEST(AccurateSolve, SaturationFollowsTheModelConventions) {
  const double top = Amplitude(ZaUpperBound, 3.0, 0.1, 0.9);
  BoucWenCase below = Case(3.0, 0.1, 0.9, top, true);
  Solve(below);
  EXPECT_EQ(below.Za, ZaUpperBound);
  for (bool complementary : {false, true}) {
    BoucWenCase a = Case(3.0, 0.1, 0.9, top + 1.0, complementary);
    BoucWenCase b = Case(3.0, 0.1, 0.9, top + 3.0, complementary);
    Solve(a);
    Solve(b);
    EXPECT_EQ(a.Za, 1.0);
    EXPECT_EQ(b.Za, 1.0);
    EXPECT_EQ(a.Kcd, b.Kcd);
    EXPECT_EQ(a.Kda, b.Kda);
    const double expectedGrowth = complementary ? 4.0 * ((top + 3.0) - (top + 1.0)) : 0.0;
    EXPECT_NEAR(b.DEOverFhUy - a.DEOverFhUy, expectedGrowth, 1e-14 * b.DEOverFhUy);
  }
}

struct Refusal {
  const char* label;
  BoucWenCase input;
  const char* message;
};

BoucWenCase With(void (*change)(BoucWenCase&)) {
  BoucWenCase bw = Case(2.0, 0.1, 0.9, 1.0, false);
  change(bw);
  return bw;
}

class AccurateSolveRefuses : public ::testing::TestWithParam<Refusal> {};

TEST_P(AccurateSolveRefuses, WithMessageAndRecordUnchanged) {
  BoucWenCase bw = GetParam().input;
  bw.Za = 42.0;  // a result left from before must survive the refusal
  try {
    Solve(bw);
    FAIL() << "no DomainError";
  } catch (const DomainError& e) {
    EXPECT_STREQ(e.what(), GetParam().message);
  }
  EXPECT_EQ(bw.Za, 42.0);
  EXPECT_EQ(bw.DE, 0.0);
}

INSTANTIATE_TEST_SUITE_P(
    Domain, AccurateSolveRefuses,
    ::testing::Values(
        Refusal{"ZeroExponent", With([](BoucWenCase& b) { b.Nee = 0.0; }), "n must be positive: 0"},
        Refusal{"NegativeExponent", With([](BoucWenCase& b) { b.Nee = -1.0; }), "n must be positive: -1"},
        Refusal{"NegativeAmplitude", With([](BoucWenCase& b) { b.UmaxOverUy = -0.5; }),
                "Umax/Uy must not be negative: -0.5"},
        Refusal{"WAboveOne", With([](BoucWenCase& b) {
                  b.BetaSmall = 1.5;
                  b.GammaSmall = -0.5;
                }),
                "beta - gamma must not exceed 1: 2"},
        // β − γ = 1 + 2⁻⁶⁰ rounds to 1 but exceeds it: the comparison is
        // made on the exact difference.
        Refusal{"WJustAboveOne", With([](BoucWenCase& b) {
                  b.BetaSmall = 1.0;
                  b.GammaSmall = -0x1p-60;
                }),
                "beta - gamma must not exceed 1: 1"},
        Refusal{"NaNExponent", With([](BoucWenCase& b) { b.Nee = NAN; }), "n is not a finite number: nan"},
        Refusal{"InfiniteGamma", With([](BoucWenCase& b) { b.GammaSmall = INFINITY; }),
                "gamma is not a finite number: inf"},
        Refusal{"NaNAlpha", With([](BoucWenCase& b) { b.AlphaSmall = NAN; }), "alpha is not a finite number: nan"},
        Refusal{"InfiniteFy", With([](BoucWenCase& b) { b.Fy = -INFINITY; }), "Fy is not a finite number: -inf"},
        Refusal{"NaNUy", With([](BoucWenCase& b) { b.Uy = NAN; }), "Uy is not a finite number: nan"},
        Refusal{"InfiniteAmplitude", With([](BoucWenCase& b) { b.UmaxOverUy = INFINITY; }),
                "Umax/Uy is not a finite number: inf"}),
    [](const auto& info) { return std::string(info.param.label); });

// Each thread keeps its own coefficient tables, and no value depends on what
// was asked for before: fresh threads, two at once and in opposite orders,
// give bit for bit what this thread gives with its tables warm (the cases
// span more values of 1/n than the cache holds).
TEST(AccurateSolveThreads, FreshThreadsGiveTheSameBits) {
  std::vector<BoucWenCase> cases;
  for (double n : {0.5, 1.5, 2.0, 3.0, 7.0}) {
    for (double u : {0.01, 1.0, 4.0, 50.0}) {
      for (bool complementary : {false, true}) cases.push_back(Case(n, 0.1, 0.9, u, complementary));
    }
  }
  std::vector<BoucWenCase> expected = cases;
  for (BoucWenCase& bw : expected) Solve(bw);
  for (BoucWenCase& bw : expected) Solve(bw);  // again, warm

  std::vector<BoucWenCase> forwards = cases, backwards = cases;
  std::thread first([&] {
    for (BoucWenCase& bw : forwards) Solve(bw);
  });
  std::thread second([&] {
    for (auto it = backwards.rbegin(); it != backwards.rend(); ++it) Solve(*it);
  });
  first.join();
  second.join();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::array<double, 9> want = Results(expected[i]);
    const std::array<double, 9> a = Results(forwards[i]), b = Results(backwards[i]);
    for (std::size_t k = 0; k < want.size(); ++k) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(a[k]), std::bit_cast<std::uint64_t>(want[k]))
          << i << " " << kResultNames[k];
      EXPECT_EQ(std::bit_cast<std::uint64_t>(b[k]), std::bit_cast<std::uint64_t>(want[k]))
          << i << " " << kResultNames[k];
    }
  }
}

TEST(AccurateAmplitude, RefusesOutsideItsDomainAndDivergesAtOne) {
  EXPECT_THROW(Amplitude(-0.1, 2.0, 0.1, 0.9), DomainError);
  EXPECT_THROW(Amplitude(1.5, 2.0, 0.1, 0.9), DomainError);
  EXPECT_THROW(Amplitude(0.5, 0.0, 0.1, 0.9), DomainError);
  EXPECT_THROW(Amplitude(0.5, 2.0, 2.0, 0.0), DomainError);
  EXPECT_THROW(Amplitude(NAN, 2.0, 0.1, 0.9), DomainError);
  EXPECT_EQ(Amplitude(1.0, 2.0, 0.1, 0.9), INFINITY);
  EXPECT_EQ(Amplitude(0.0, 2.0, 0.1, 0.9), 0.0);
}

}  // namespace
}  // namespace quorix::accurate
