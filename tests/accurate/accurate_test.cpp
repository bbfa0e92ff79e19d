// The accurate path against the mpmath tables of data/ (make_reference.py), each table test
// printing its worst errors ("[accuracy]" lines); then its refusals, saturation and threads; then which
// results the check against the exact values flags.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cmath>
#include <iostream>
#include <limits>
#include <map>
#include <numbers>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "threads.h"
#include "accurate.h"
#include "check.h"
#include "checks.h"
#include "energy_solver.h"
#include "lerch.h"
#include "reference_table.h"

namespace quorix::accurate {
namespace {

using namespace quorix::testing;

// Margins over what the path reaches with Linux's pow and expm1 (on every target, cmake/libm.cmake), so that a
// regression far inside the solve's 1e-12 target still shows.
constexpr double kHyp2F1Ulps = 3.0, kSolveUlps = 8.0;

std::string At(const Row& row, std::size_t arguments) {
  std::string text = "line " + std::to_string(row.line) + ":";
  for (std::size_t i = 0; i < arguments; ++i) text += " " + row.fields[i];
  return text;
}

// Digamma within a few ulps (x < 0: relative to the reflection's terms); log-gamma and gamma round once, also
// next to the zeros of ln|Γ|, the poles, the overflow and among the subnormals.
TEST(AccurateTables, GammaFamily) {
  const struct {
    const char* table;
    double (*function)(double);
    double positiveUlps, negativeUlps;
  } cases[] = {{"digamma.tsv", Digamma, 3.0, 8.0}, {"loggamma.tsv", LogGamma, 1.0, 1.0},
               {"gamma.tsv", Gamma, 1.0, 1.0}};
  for (const auto& c : cases) {
    WorstError positive{std::string(c.table) + ", x > 0"}, negative{std::string(c.table) + ", x < 0"};
    for (const Row& row : ReadTable(c.table)) {
      const double x = static_cast<double>(row.numbers[0]), value = c.function(x);
      (x > 0 ? positive : negative).Add(value, row.numbers[1], At(row, 1));
      EXPECT_LE(UlpError(value, row.numbers[1]), x > 0 ? c.positiveUlps : c.negativeUlps) << c.table << At(row, 1);
    }
    std::cout << "[accuracy] " << positive.Report() << "\n[accuracy] " << negative.Report() << "\n";
  }
}

// Γ(n) = (n − 1)! is a double up to n = 23 (22!'s odd part is below 2⁵³): rounded once, exact.
TEST(AccurateGamma, FactorialsAreExact) {
  double factorial = 1.0;
  for (int n = 1; n <= 23; ++n) {
    EXPECT_EQ(Gamma(n), factorial) << n;
    factorial *= n;
  }
  EXPECT_EQ(LogGamma(1.0), 0.0);
  EXPECT_EQ(LogGamma(2.0), 0.0);
}

// Γ overflows above 171.6243769563027 and at the smallest x, ln Γ above x ≈ 2.55e305; far below zero Γ
// underflows to a zero with the sign of sin(πx) while ln|Γ| stays finite.
TEST(AccurateGamma, OverflowAndUnderflowAsTheDoublesDemand) {
  const double smallest = std::numeric_limits<double>::denorm_min(), inf = INFINITY;
  EXPECT_TRUE(std::isfinite(Gamma(171.6243769563027)) && std::isfinite(LogGamma(2.55e305)));
  EXPECT_EQ(std::pair(LogGamma(2.6e305), LogGamma(std::numeric_limits<double>::max())), std::pair(inf, inf));
  const std::pair<double, double> edges[] = {  // x, Γ(x): overflow, then zeros with the sign of sin(πx)
      {std::nextafter(171.6243769563027, inf), inf}, {1e10, inf}, {smallest, inf}, {-smallest, -inf},
      {-190.5, -0.0}, {-191.5, 0.0}, {-200.25, -0.0}, {-1e10 - 0.5, -0.0}, {-0x1p52 + 0.5, 0.0}};
  for (const auto& [x, gamma] : edges) {
    EXPECT_EQ(Bits(Gamma(x)), Bits(gamma)) << x;
    EXPECT_TRUE(gamma != 0.0 || std::isfinite(LogGamma(x))) << x;
  }
}

TEST(AccurateTables, Hyp2F1InEveryRegion) {
  std::map<std::string, WorstError> worst;
  for (const Row& row : ReadTable("hyp2f1.tsv")) {
    const std::string& region = row.fields[0];
    const double b = static_cast<double>(row.numbers[1]), t = static_cast<double>(row.numbers[2]);
    const double value = Hyp2F1(1.0, b, 1.0 + b, t);
    worst.try_emplace(region, WorstError("hyp2f1 " + region)).first->second.Add(value, row.numbers[3], At(row, 3));
    EXPECT_LE(UlpError(value, row.numbers[3]), kHyp2F1Ulps) << At(row, 3);
    EXPECT_EQ(Hyp2F1(b, 1.0, 1.0 + b, t), value) << At(row, 3);  // a and b swapped
  }
  for (const auto& [region, error] : worst) std::cout << "[accuracy] " << error.Report() << "\n";
}

std::array<double, 9> Results(const BoucWenCase& bw) {
  return {bw.Za, bw.Fha, bw.Fela, bw.Fa, bw.Kcd, bw.Kda, bw.DEOverFyUy, bw.DEOverFhUy, bw.DE};
}
std::vector<std::uint64_t> ResultBits(const BoucWenCase& bw) {
  const std::array<double, 9> results = Results(bw);
  return Bits(std::vector<double>(results.begin(), results.end()));
}
constexpr std::array<const char*, 9> kResultNames = {"Za",  "Fha",        "Fela",       "Fa", "Kcd",
                                                     "Kda", "DE/(Fy Uy)", "DE/(Fh Uy)", "DE"};

BoucWenCase InputsOf(const Row& row) {
  BoucWenCase bw;
  double* inputs[] = {&bw.Nee, &bw.BetaSmall, &bw.GammaSmall, &bw.AlphaSmall, &bw.Fy, &bw.Uy, &bw.UmaxOverUy};
  for (std::size_t i = 0; i < std::size(inputs); ++i) *inputs[i] = static_cast<double>(row.numbers[i]);
  bw.Complementary = row.fields[7] == "1";
  return bw;
}

// Every result within 1e-12 relative of the exact value (1e-300 absolute where that is 0): the grid of
// solve.tsv, and in roots.tsv the cases where the search for Za changes its way (tiny amplitudes, either
// side of the end of its small-amplitude start, w = -29.5 and 1, roots a few doubles below the top).
TEST(AccurateTables, Solve) {
  for (const char* table : {"solve.tsv", "roots.tsv"}) {
    WorstError all{std::string(table) + ", all nine results"};
    for (const Row& row : ReadTable(table)) {
      BoucWenCase bw = InputsOf(row);
      Solve(bw);
      const std::array<double, 9> results = Results(bw);
      const std::string where = std::string(table) + " line " + std::to_string(row.line) + ": n = " + row.fields[0] +
                                ", gamma = " + row.fields[2] + ", U = " + row.fields[6] +
                                (bw.Complementary ? ", compl" : ", direct");
      for (std::size_t i = 0; i < results.size(); ++i) {
        const long double expected = row.numbers[8 + i];
        all.Add(results[i], expected, where + ", " + kResultNames[i]);
        if (expected == 0.0L) {
          EXPECT_LE(std::fabs(results[i]), 1e-300) << kResultNames[i] << ", " << where;
        } else {
          EXPECT_LE(RelativeError(results[i], expected), 1e-12) << kResultNames[i] << ", " << where;
          EXPECT_LE(UlpError(results[i], expected), kSolveUlps) << kResultNames[i] << ", " << where;
        }
      }
    }
    std::cout << "[accuracy] " << all.Report() << "\n";
  }
}

TEST(Accurate, FunctionsRefuseOutsideTheirDomains) {
  const double nan = std::nan(""), inf = INFINITY;
  for (auto* function : {Digamma, LogGamma, Gamma}) {
    for (double x : {0.0, -0.0, -1.0, -7.0, nan, inf, -inf}) EXPECT_THROW(function(x), Refusal) << x;
  }
  EXPECT_EQ(ThrownMessage<Refusal>([] { Digamma(-3.0); }), "digamma has a pole at x = -3");
  // a ≠ 1 and b ≠ 1; c ≠ 1 + b; b ≤ 0; t ≥ 1; t not finite.
  const double outside[][4] = {{2.0, 0.5, 1.5, 0.3}, {1.0, 0.5, 2.5, 0.3}, {1.0, -0.5, 0.5, 0.3},
                               {1.0, 0.0, 1.0, 0.3}, {1.0, 0.5, 1.5, 1.0}, {1.0, 0.5, 1.5, 2.0},
                               {1.0, 0.5, 1.5, nan}, {1.0, 0.5, 1.5, -inf}};
  for (const auto& p : outside) EXPECT_THROW(Hyp2F1(p[0], p[1], p[2], p[3]), Refusal) << "row " << &p - outside;
  const std::string family = ThrownMessage<Refusal>([] { Hyp2F1(1.0, 0.5, 2.5, 0.3); });
  EXPECT_EQ(family.rfind("hyp2f1 --accurate covers F(1, b; 1 + b; t) only", 0), 0u) << family;
  // x < 0, x > 1, n = 0, w > 1, x NaN; the amplitude diverges at x = 1.
  const double amplitudes[][4] = {
      {-0.1, 2, 0.1, 0.9}, {1.5, 2, 0.1, 0.9}, {0.5, 0, 0.1, 0.9}, {0.5, 2, 2, 0}, {nan, 2, 0.1, 0.9}};
  for (const auto& p : amplitudes) EXPECT_THROW(Amplitude(p[0], p[1], p[2], p[3]), Refusal) << p[0] << " " << p[1];
  EXPECT_EQ(Amplitude(1.0, 2.0, 0.1, 0.9), INFINITY);
  EXPECT_EQ(Amplitude(0.0, 2.0, 0.1, 0.9), 0.0);
}

BoucWenCase Input(double n, double beta, double gamma, double u, bool complementary) {
  return {.Nee = n, .BetaSmall = beta, .GammaSmall = gamma, .AlphaSmall = 0.1, .Fy = 2.86, .Uy = 0.111,
          .UmaxOverUy = u, .Complementary = complementary};
}
// n = 2, β = 1, γ = 0 (w = 1, the edge of the domain) with one input changed.
BoucWenCase With(double BoucWenCase::*input, double value) {
  BoucWenCase bw = Input(2.0, 1.0, 0.0, 1.0, false);
  bw.*input = value;
  return bw;
}

// Each refusal names the input and leaves the record as it was. The last seven (fuzzing findings: NaN or
// infinities) lie where the series do not reach.
TEST(AccurateSolve, RefusesWithAMessageAndTheRecordUnchanged) {
  const std::string kNoResult = "no accurate result";  // the start of the message
  const std::pair<BoucWenCase, std::string> cases[] = {
      {With(&BoucWenCase::Nee, 0.0), "n must be positive: 0"},
      {With(&BoucWenCase::UmaxOverUy, -0.5), "Umax/Uy must not be negative: -0.5"},
      // 1 + 2⁻⁶⁰ rounds to 1 but exceeds it: the exact difference is compared.
      {With(&BoucWenCase::GammaSmall, -0x1p-60), "beta - gamma must not exceed 1: 1"},
      // Finite β and γ whose difference lies above the doubles.
      {Input(2.0, 1.7e308, -1.7e308, 1.0, false), "beta - gamma must not exceed 1: inf"},
      {With(&BoucWenCase::Nee, NAN), "n is not a finite number: nan"},
      {With(&BoucWenCase::Fy, -INFINITY), "Fy is not a finite number: -inf"},
      {With(&BoucWenCase::UmaxOverUy, INFINITY), "Umax/Uy is not a finite number: inf"},
      {Input(2.75859452825e-313, 0.1, 0.9, 10.0, true), kNoResult},
      {Input(5.562684646268003e-309, -9.255965344119887e+61, 0.0, 0.0, false), kNoResult},
      {Input(1e-9, 0.0, 0.0, 1e-300, false), kNoResult},
      {Input(0.01, -1e20, 0.0, 1e-300, true), kNoResult},
      {Input(1e-300, 0.9, 0.1, 0.5, true), kNoResult},
      {Input(13.5, 0.9, 0.1, 4.802553018217681e+307, true), kNoResult},
      {Input(2.0, -1.7415152243988519e+308, 4.802553018217681e+307, 1.0, false), kNoResult}};
  for (auto [input, message] : cases) {
    BoucWenCase bw = input;  // a variable of its own: the lambda below captures it
    bw.Za = 42.0;  // a result left from before
    const std::string got = ThrownMessage<Refusal>([&] { Solve(bw); });
    EXPECT_EQ(message == kNoResult ? got.substr(0, message.size()) : got, message) << bw.Nee << " " << bw.UmaxOverUy;
    EXPECT_EQ(std::pair(bw.Za, bw.DE), std::pair(42.0, 0.0)) << message;
  }
}

// At ZaUpperBound's amplitude Za is ZaUpperBound, not yet the saturated 1.
TEST(AccurateSolve, SaturationStartsAboveTheTopOfTheSearch) {
  BoucWenCase at = Input(3.0, 0.1, 0.9, Amplitude(ZaUpperBound, 3.0, 0.1, 0.9), true);
  Solve(at);
  EXPECT_EQ(at.Za, ZaUpperBound);
}

// The coefficient tables, the model and its top amplitude are kept per thread for the last n and w (the part that
// depends on n alone taken over when only w changes): a case gives the bits of a first Solve whatever came before
// it, after the same n and another w, after w differing only below the rounding of β − γ (γ = 2⁻⁶⁰ with β = 1:
// 1 − w is 2⁻⁶⁰, not 0), after another n, after the families' cache was emptied, and in a fresh thread.
TEST(AccurateSolve, KeptModelAndFreshThreadsGiveTheBitsOfAFirstSolve) {
  std::vector<BoucWenCase> cases = {Input(3.0, 0.1, 0.9, 1.0, true),      Input(3.0, 0.3, 0.7, 1.0, true),
                                    Input(3.0, 1.0, 0x1p-60, 2.0, false), Input(3.0, 1.0, 0.0, 2.0, false),
                                    Input(0.7, 0.0, 0.9, 2.0, false),     Input(3.0, 0.1, 0.9, 4.5, true),
                                    Input(3.0, 0.1, 0.9, 0.01, false),    Input(3.0, 0.1, 0.9, 1.0, true)};
  for (double n : {0.5, 1.5, 2.0, 7.0}) {
    for (double u : {0.01, 1.0, 50.0}) cases.push_back(Input(n, 0.1, 0.9, u, n < 1.8));
  }
  std::vector<std::vector<std::uint64_t>> first;
  for (BoucWenCase bw : cases) {
    exact::ForgetFamilies();
    Solve(bw);
    first.push_back(ResultBits(bw));
  }
  for (int pass = 0; pass < 2; ++pass) {  // in order, then backwards, with the cache as the last case left it
    for (std::size_t k = 0; k < cases.size(); ++k) {
      const std::size_t i = pass == 0 ? k : cases.size() - 1 - k;
      BoucWenCase bw = cases[i];
      Solve(bw);
      EXPECT_EQ(ResultBits(bw), first[i]) << "case " << i << ", pass " << pass;
    }
  }
  QUORIX_SKIP_WITHOUT_THREADS();
  std::vector<BoucWenCase> forwards = cases, backwards = cases;
  std::thread one([&] { for (BoucWenCase& bw : forwards) Solve(bw); });
  std::thread other([&] { for (auto it = backwards.rbegin(); it != backwards.rend(); ++it) Solve(*it); });
  one.join();
  other.join();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(ResultBits(forwards[i]), first[i]) << "case " << i << " in a fresh thread";
    EXPECT_EQ(ResultBits(backwards[i]), first[i]) << "case " << i << " in a fresh thread, backwards";
  }
}

TEST(CheckAgainstExact, DiffersAtTheBoundAndOnEverySignChange) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double specified, exact;
    bool differs;
  } cases[] = {
      {1.0, 1.0, false},          {1.0 + 0.99e-4, 1.0, false}, {1.0 + 1.01e-4, 1.0, true},
      {-1.0 - 0.99e-4, -1.0, false}, {-1.0 - 1.01e-4, -1.0, true},
      {-1e-30, 1e-30, true},      // the small-amplitude cancellation: the other sign
      {0.0, 1e-300, true},        // a zero where the value is not
      {0.0, -0.0, false},         {nan, nan, false}, {nan, 1.0, true}, {1.0, nan, true},
  };
  for (const auto& c : cases) EXPECT_EQ(Differs(c.specified, c.exact), c.differs) << c.specified << " " << c.exact;
}

// At a small x = Umax/Uy, z ≈ x and DE/(Fh·Uy) = 2·∫₀^Za z·(1/(1 − zⁿ) − 1/(1 − w·zⁿ)) dz
// ≈ 2(1 − w)·x^(n+2)/(n + 2), so XiEq = DE/(2π·Fa·Umax) ≈ (1 − w)(1 − α)·xⁿ/((n + 2)·π).
double SmallAmplitudeXiEq(double n, double w, double alpha, double x) {
  return (1.0 - w) * (1.0 - alpha) * std::pow(x, n) / ((n + 2.0) * std::numbers::pi);
}

TEST(CheckAgainstExact, FlagsTheCancellingEnergyAtSmallAmplitudesAndNothingAtTheDefault) {
  const struct {
    double n, gamma, x;
    bool flagged;
  } cases[] = {{1.0, 0.1, 1e-6, true}, {3.0, 0.9, 4e-4, true}, {2.0, 0.9, 1.0, false}, {2.0, 0.9, 5.0, false}};
  for (const auto& c : cases) {
    BoucWenCase bw{.Nee = c.n, .BetaSmall = 1.0 - c.gamma, .GammaSmall = c.gamma, .AlphaSmall = 0.1, .Fy = 2.86,
                   .Uy = 0.111, .UmaxOverUy = c.x, .Complementary = true};
    SolveEnergy(bw);
    const ResultCheck check = CheckAgainstExact(bw);
    ASSERT_TRUE(check.available);
    const int xi = 9;  // XiEq
    EXPECT_EQ(check.flagged[xi], c.flagged) << c.n << " " << c.x;
    EXPECT_EQ(check.Count() > 0, c.flagged);
    if (c.flagged) {
      const double law = SmallAmplitudeXiEq(c.n, bw.BetaSmall - bw.GammaSmall, 0.1, c.x);
      EXPECT_NEAR(check.exact[xi], law, 1e-3 * law) << c.n;
      // The energy cancels to 0 or below: the first sign change (DE/(Fy Uy)) outranks every difference.
      EXPECT_EQ(check.Worst(CheckedValues(bw)), 6) << c.n;
    }
  }
}

}  // namespace
}  // namespace quorix::accurate
