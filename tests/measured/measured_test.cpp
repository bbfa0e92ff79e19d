// Records read, their cycles, the steady loop and fit, on records integrated in time (synthetic.h).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "checks.h"
#include "cycles.h"
#include "fake_services.h"
#include "fit.h"
#include "record.h"
#include "synthetic.h"

namespace quorix::measured {
namespace {

using namespace testing;  // the synthetic records

// That `call` throws an E whose message holds `part`.
template <class E, class F>
void ExpectError(F call, const std::string& part) {
  const std::string message = quorix::testing::ThrownMessage<E>(call);
  EXPECT_NE(message.find(part), std::string::npos) << message << "; expected " << part;
}

TEST(ParseRecord, NamesTheProblemOfABadRecord) {
  const struct {
    std::string text;
    const char* message;  // a part of it
    ColumnChoice choice = {};
  } cases[] = {
      {"", "the record is empty"}, {"# x\nu,F\n\n", "holds no points (3 lines read)"},
      {"1\n2\n", "line 1: one column"}, {"1,2\n3\n", "line 2: one column"}, {"u F t\n1 2 3\n1 2\n", "line 3: 2 columns"},
      {"1.5;2\n1,5;2\n", "line 2: the displacement \"1,5\" has a decimal comma, the lines before decimal points"},
      {"1,5;2\n1.5;2\n", "line 2: the displacement \"1.5\" has a decimal point"},
      {"1,2\n3;4\n", "line 2: one column"},                                     // the delimiter changes
      {"u,F\n1,2\n3,abc\n", "line 3: the force \"abc\" is not a number"},
      {"1,2\nu,F\n", "line 2: the displacement \"u\""}, {"1,2\n3,nan\n", "line 2: the force \"nan\" is not a finite"},
      {"1,1e999\n", "line 1: the force \"1e999\" is beyond the range"}, {"1,x\n", "only column 1 holds a number"},
      {"1,2\n0x10,2\n", "line 2: the displacement \"0x10\" is not a number"},
      {"0,000000,2,955202\n", "line 1: \"0,000000,2,955202\" has the comma both between its columns and as"},
      {"1,2\n" + std::string(5000, '7'), "line 2 is longer than 4096"},
      {std::string("\x7f" "ELF\x01\x02\0\0\n\x03\x04\0,\x05\n", 15), "line 1: the byte 0x7f is not text"},
      // Columns asked for that the record lacks, or named twice.
      {"u [mm];F\n1;2\n", "the displacement column 3: the record has columns 1 to 2", {"3", ""}},
      {"u [mm];F\n1;2\n", "the force column \"Kraft\": no column has that name; the header has \"u [mm]\", \"F\"",
       {"", "Kraft"}},
      {"u [mm];F\n1;2\n", "the displacement and the force are both column 1", {"1", "1"}},
      {"1;2\n", "no header to find it in", {"u", ""}},
      {"Disp A,F,Disp B\n1,2,3\n", "columns 1 (\"Disp A\") and 3 (\"Disp B\") both name the displacement"},
      {"u,Load,Force\n1,2,3\n", "columns 2 (\"Load\") and 3 (\"Force\") both name the force: choose one (--F-column)"},
      // (time, displacement) without names: the first column never turns back, the second does.
      {"0 0\n1 1\n2 0\n3 1\n", "column 1, read as the displacement by its place, never turns back while column 2"}};
  for (const auto& c : cases) {
    ExpectError<Refusal>([&c] { ParseRecord(c.text, Columns::kDisplacementAndForce, c.choice); }, c.message);
  }
}

// UTF-16 with its byte-order mark, of ASCII text.
std::string Utf16(std::string_view text, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char c : text) out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
  return out;
}

TEST(ParseRecord, ReadsTestMachinesAndLaboratoryFilesAndChoosesTheirColumns) {
  const struct {
    std::string text;
    ColumnChoice choice;
    std::vector<double> u, F;
    RecordColumn displacement, force;
    bool decimalComma = false;
    Columns columns = Columns::kDisplacementAndForce;
  } cases[] = {
      // What a test machine writes: separators, blanks, comments, signs, exponents, a byte order mark.
      {"u [mm],F [kN]\r\n1.5,-2\r\n-0.25,3e2\r\n", {}, {1.5, -0.25}, {-2, 300}, {1, "u [mm]", "mm"},
       {2, "F [kN]", "kN"}},
      {"# test 7\n  1 ; 2 \n\n3;4", {}, {1, 3}, {2, 4}, {1, "", ""}, {2, "", ""}},
      {"d\tF\n1\t2\n+3\t-4.\n", {}, {1, 3}, {2, -4}, {1, "d", ""}, {2, "F", ""}},
      {"  1   2\n3 \t 4\n#end\n", {}, {1, 3}, {2, 4}, {1, "", ""}, {2, "", ""}},
      {"1E-3,.5\n-.5e+1,2.\n", {}, {1e-3, -5}, {0.5, 2}, {1, "", ""}, {2, "", ""}},
      {"\xEF\xBB\xBF" "1;2\n3;4\n", {}, {1, 3}, {2, 4}, {1, "", ""}, {2, "", ""}},
      // A units line and four columns, the force first, decimal commas.
      {"Time;Force;Lead Actuator Displacment;T\ns;kN;mm;\xC2\xB0" "C\n0;1,5;0,25;20\n1;-2;3;20,5\n", {},
       {0.25, 3}, {1.5, -2}, {3, "Lead Actuator Displacment", "mm"}, {2, "Force", "kN"}, true},
      {Utf16("disp,load\r\n1,2\r\n3,4\r\n", false), {}, {1, 3}, {2, 4}, {1, "disp", ""}, {2, "load", ""}},
      // CR line ends; a name that is not UTF-8 is Latin-1 ("\xB5" is µ); a force named, the displacement not.
      {Utf16("Weg\tF [kN]\r1\t2\r3\t4\r", true), {}, {1, 3}, {2, 4}, {1, "Weg", ""}, {2, "F [kN]", "kN"}},
      {"Weg (\xB5m),Kraft\n1,2\n", {}, {1}, {2}, {1, "Weg (\xC2\xB5m)", "\xC2\xB5m"}, {2, "Kraft", ""}},
      {"a b c\n1 2 3\n4 5 6\n", {"C", "1"}, {3, 6}, {1, 4}, {3, "c", ""}, {1, "a", ""}},
      {"x;Stroke [mm];Load\n9;1;2\n", {"stroke", ""}, {1}, {2}, {2, "Stroke [mm]", "mm"}, {3, "Load", ""}},
      {"\"u\";\"F\"\n\"1,5\";\"2\"\n", {}, {1.5}, {2}, {1, "u", ""}, {2, "F", ""}, true},
      {"1,-1e-400\n2e-400,5\n", {}, {1, 0}, {-0.0, 5}, {1, "", ""}, {2, "", ""}},  // below the doubles: ±0
      {"time;u\n0;1\n1;2\n", {}, {1, 2}, {}, {2, "u", ""}, {}, false, Columns::kDisplacementWithOptionalForce},
      {"1 5\n2 6\n", {}, {1, 2}, {5, 6}, {1, "", ""}, {2, "", ""}, false, Columns::kDisplacementWithOptionalForce},
      // The name that says displacement in the fewest words: not the rate.
      {"Displacement rate [mm/s],Displacement [mm],Force [kN]\n3,0,1\n0,1,2\n", {}, {0, 1}, {1, 2},
       {2, "Displacement [mm]", "mm"}, {3, "Force [kN]", "kN"}},
      // A time column named as the displacement by the user is taken: only the place proves nothing.
      {"0 0\n1 1\n2 0\n3 1\n", {"1", ""}, {0, 1, 2, 3}, {0, 1, 0, 1}, {1, "", ""}, {2, "", ""}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const Record r = ParseRecord(c.text, c.columns, c.choice);
    using quorix::testing::Bits;  // so that -0 and 0 differ
    EXPECT_EQ(std::tuple(Bits(r.u), Bits(r.F), r.decimalComma), std::tuple(Bits(c.u), Bits(c.F), c.decimalComma));
    for (const auto& [got, expected] : {std::pair(r.displacement, c.displacement), std::pair(r.force, c.force)}) {
      EXPECT_EQ(std::tuple(got.number, got.name, got.unit), std::tuple(expected.number, expected.name, expected.unit));
    }
  }
}

// Read in pieces (lines, CR LF and UTF-16 units cut anywhere) a file is its whole text; failures pass through.
TEST(ReadRecordFile, PiecesJoinToTheWholeTextAndFailuresPassThrough) {
  quorix::testing::FakeServices services;
  std::string text = "u;F\r\n";
  for (int i = 0; i < 500; ++i) text += std::to_string(i * 0.001) + ";" + std::to_string(-i * 0.25) + "\r\n";
  services.files["rec.csv"] = text;
  services.files["rec16.csv"] = Utf16(text, false);
  const Record whole = ParseRecord(text);
  EXPECT_EQ(whole.u.size(), 500u);
  for (const char* file : {"rec.csv", "rec16.csv"}) {
    for (std::size_t chunk : {1u, 7u, 4096u}) {
      services.readChunk = chunk;
      const Record read = ReadRecordFile(services, file);
      EXPECT_EQ(read.u, whole.u) << file << chunk;
      EXPECT_EQ(read.F, whole.F) << file << chunk;
    }
  }
  EXPECT_THROW(ReadRecordFile(services, "missing.csv"), platform::PlatformError);
  services.failReadAfter = 3;
  EXPECT_THROW(ReadRecordFile(services, "rec.csv"), platform::PlatformError);
}

// u = d·cos t + shift, F = k·u − c·sin t at N steps of t a cycle, for three cycles and a quarter.
constexpr double kEllipseD = 2.0, kEllipseK = 3.0, kEllipseC = 0.7;
std::pair<std::vector<double>, std::vector<double>> Ellipse(int N = 40, double shift = 0.3) {
  std::vector<double> u, F;
  for (int i = 0; i <= 3 * N + N / 4; ++i) {
    const double t = 2.0 * std::numbers::pi * i / N;
    u.push_back(kEllipseD * std::cos(t) + shift);
    F.push_back(kEllipseK * u.back() - kEllipseC * std::sin(t));
  }
  return {u, F};
}

// Centred, its polygon encloses (N/2)·c·d·sin(2π/N) clockwise: EDC, Keff = k, ξeff = EDC/(2π·k·d²).
TEST(Cycles, EllipsePolygonHasItsExactArea) {
  const int N = 360;
  const double d = kEllipseD, k = kEllipseK, area = 0.5 * N * kEllipseC * d * std::sin(2.0 * std::numbers::pi / N);
  const auto [u, F] = Ellipse(N, 0.0);
  const CycleTable table = FindCycles(u, F);
  // Starting on a maximum is no reversal: cycles from the first minimum to the last.
  ASSERT_EQ(table.cycles.size(), 2u);
  for (const Cycle& cy : table.cycles) {
    EXPECT_NEAR(cy.EDC, area, 1e-12 * area);
    EXPECT_NEAR(cy.Keff, k, 1e-12 * k);
    EXPECT_NEAR(cy.XiEff, area / (2.0 * std::numbers::pi * k * d * d), 1e-12);
    EXPECT_EQ(std::pair(cy.uPlus, cy.uMinus), std::pair(d, -d));
    EXPECT_NEAR(cy.FPlus, k * d, 1e-12 * k * d);  // sin t = 0 at u⁺
  }
  EXPECT_EQ(std::tuple(table.cycles[0].steady, table.cycles[1].steady, table.steadyMeans.count),
            std::tuple(false, true, 1u));
  EXPECT_NEAR(table.steadyMeans.EDC, area, 1e-12 * area);
}

TEST(Cycles, ARecordWithoutAFullCycleIsAClearError) {
  const struct {
    std::vector<double> u, F;
    const char* message;
    double deadBand = kDefaultDeadBand;
  } cases[] = {{{0, 1, 0}, {0, 1}, "differ in number (3 and 2)"}, {{1, 1, 1, 1}, {0, 1, 2, 3}, "reverses 0 time(s)"},
               {{0, 1, 2, 3}, {0, 1, 2, 3}, "reverses 0 time(s)"}, {{0, NAN, 0}, {0, 1, 0}, "point 2 is not finite"},
               {{0, 1, 0, -1, 0}, {0, 1, 0, -1, 0}, "reverses 2 time(s)"},
               // Fuzzing findings, ξeff beyond the doubles: F⁺ ≈ F⁻ beside F near the largest double (it was ∞),
               {{1, 6, 0.866025, 4.707107, -7, 0.5, 0.2588165926}, {2, 1.80244, 1.48205, 1.0646752, 1.06066, 0.56e307,
                -2.0612}, "cycle 2: its xi_eff is beyond the range of a double", 6 / 520.0},
               // and F⁺ = 0, F⁻ = 7·2⁻¹⁰⁷⁴ beside F = 34.4 (Keff underflowed to 0, ξeff NaN with success).
               {{7, -324, -324, 7, -324, 7, 7, -324, -324, -324, 7, 0, 7, 77},
                {7 * 0x1p-1074, 7 * 0x1p-1074, 0, 7 * 0x1p-1074, 7 * 0x1p-1074, 0, 34.4, 7 * 0x1p-1074, 0, 0, 0, 3.3e-323,
                 0, 0},
                "cycle 2: its xi_eff is beyond the range of a double", 0.1}};
  for (const auto& c : cases) ExpectError<Refusal>([&] { FindCycles(c.u, c.F, c.deadBand); }, c.message);
  for (double band : {0.0, -0.1, double(NAN), double(INFINITY), 1.0}) {
    ExpectError<Refusal>([&] { FindCycles({0, 1, 0, -1, 0, 1, 0}, {0, 1, 0, -1, 0, 1, 0}, band); },
                         "the dead band must be a share");
  }
}

// Other units: the same cycles and ξeff (to the bit for powers of two), or a refusal when EDC or Keff lies
// beyond the doubles (unscaled, u near 1e308 or F near 1.7e308 found no reversal or gave EDC NaN).
TEST(Cycles, AnyUnitsGiveTheSameCycles) {
  const auto [u, F] = Ellipse();
  const CycleTable plain = FindCycles(u, F);
  const struct {
    double su, sF;
    double tolerance;     // of ξeff, relative
    const char* refusal;  // nullptr: read
  } cases[] = {{0x1p-500, 0x1p400, 0, nullptr}, {1e-200, 1e-200, 1e-14, nullptr}, {1e300, 1e-300, 1e-14, nullptr},
               {4e307, 1e-300, 1e-14, nullptr}, {1, 2.2e307, 1e-14, nullptr},
               {1e300, 1e300, 0, "cycle 1: its EDC is beyond the range of a double"},
               {1e-200, 1e300, 0, "cycle 1: its Keff is beyond"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.su << " " << c.sF);
    std::vector<double> us(u), Fs(F);
    for (double& x : us) x *= c.su;
    for (double& x : Fs) x *= c.sF;
    if (c.refusal != nullptr) {
      ExpectError<Refusal>([&] { FindCycles(us, Fs); }, c.refusal);
      continue;
    }
    const CycleTable t = FindCycles(us, Fs);
    ASSERT_EQ(t.cycles.size(), plain.cycles.size());
    for (std::size_t k = 0; k < t.cycles.size(); ++k) {
      const Cycle &a = t.cycles[k], &b = plain.cycles[k];
      EXPECT_EQ(std::tuple(a.first, a.middle, a.last, a.steady), std::tuple(b.first, b.middle, b.last, b.steady)) << k;
      EXPECT_NEAR(a.XiEff, b.XiEff, c.tolerance * b.XiEff) << k;
      EXPECT_TRUE(std::isfinite(a.EDC) && std::isfinite(a.Keff)) << a.EDC << " " << a.Keff;
    }
    EXPECT_NEAR(t.steadyMeans.XiEff, plain.steadyMeans.XiEff, c.tolerance * plain.steadyMeans.XiEff);
  }
}

// Subnormal forces beside a normal one, each cycle at its own scale (scaled by the largest force they lost their
// bits: ξeff NaN). With t = 7·2⁻¹⁰⁷⁴ cycle 1 encloses −331·t/2 → −1158·2⁻¹⁰⁷⁴ (ties to even), cycle 2 nothing.
TEST(Cycles, SubnormalForcesBesideNormalOnesKeepTheirBits) {
  const double t = 7 * 0x1p-1074;
  const std::vector<double> u = {7, -324, -324, 7, -324, 7, 7, -324, 7, 7, -324, -324, 7, 0, 7, 77};
  const std::vector<double> F = {t, t, 0, t, t, 0, 0, t, 34, 0, t, t, 0, 3.3e-323, 0, 0};
  const CycleTable table = FindCycles(u, F, 0.1);
  ASSERT_EQ(table.cycles.size(), 3u);
  EXPECT_EQ(std::tuple(table.cycles[0].EDC, table.counterClockwise, table.cycles[1].EDC, table.cycles[1].XiEff),
            std::tuple(-1158 * 0x1p-1074, 1u, 0.0, 0.0));
  for (const Cycle& c : table.cycles) {
    if (c.FPlus != c.FMinus) {
      EXPECT_TRUE(std::isfinite(c.XiEff)) << c.first << ": " << c.XiEff;
    }
  }
}

// Columns swapped or the force's sign reversed: every loop runs counter-clockwise, and the table says so.
TEST(Cycles, CountsTheCyclesThatRunCounterClockwise) {
  auto [u, F] = Ellipse();
  EXPECT_EQ(std::tuple(FindCycles(u, F).counterClockwise, CounterClockwiseWarning(FindCycles(u, F))),
            std::tuple(0u, std::string()));
  std::vector<double> minusF(F);
  for (double& f : minusF) f = -f;
  for (const auto& [x, y] : {std::pair(F, u), std::pair(u, minusF)}) {
    const CycleTable t = FindCycles(x, y);
    EXPECT_EQ(std::tuple(t.counterClockwise, MostlyCounterClockwise(t)), std::tuple(t.cycles.size(), true));
    EXPECT_NE(CounterClockwiseWarning(t).find("columns swapped, or is the force's sign reversed"), std::string::npos);
  }
  // Displacement noise beyond the dead band: about half of many cycles each way, said as noise.
  auto noisy = MakeRecord({2.0, 0.7, 0.1, 10.0, 1.0}, {Block{2.0, 3, true}}, 500);
  testing::AddNoise(noisy, 0.0, 0.02, 0.0, 5);
  const std::string noise = CounterClockwiseWarning(FindCycles(noisy.u, noisy.F));
  EXPECT_NE(noise.find("about half of many cycles run each way, as noise on the displacement"), std::string::npos)
      << noise;
  // A force falling as u grows: a negative Keff, said so.
  const std::vector<std::string> falling = TableWarnings(FindCycles(u, minusF));
  ASSERT_EQ(falling.size(), 2u);
  EXPECT_TRUE(falling[1].find("have a negative Keff") != std::string::npos) << falling[1];
  EXPECT_TRUE(TableWarnings(FindCycles(u, F)).empty());
}

// Records integrated in time (RK4): blocks begun on their steady cycle for the steady fit, or from rest with a
// transient first cycle at each amplitude for the whole-record fit. Noiseless within 1e-6; with 1 % force
// noise, 0.1 % on u (and a 1 % drift for the steady fit) within the row's tolerance and 5 standard errors
// (the record fit's α error reached 12.8 % over 400 draws of the noise).
using Tolerance = std::array<double, 5>;  // relative, of n, γ, α, Fy, Uy
constexpr Tolerance kExact{1e-6, 1e-6, 1e-6, 1e-6, 1e-6}, kSteadyNoisy{0.05, 0.05, 0.02, 0.02, 0.02},
    kRecordNoisy{0.05, 0.05, 0.15, 0.05, 0.05};
struct Recovery {
  TrueModel m;
  std::vector<double> amplitudes;  // in units of Uy
  bool steady;
  int cycles, perQuarter, substeps;
  double noise;  // on F, a share of max |F|
  Tolerance tolerance;
};
const TrueModel kSteadyA{2.0, 0.7, 0.1, 50.0, 2.0}, kSteadyB{5.0, 0.9, 0.05, 1.2, 0.01},
    kSteadyC{1.5, 0.5, 0.2, 10.0, 1.0}, kRising{2.5, 0.75, 0.08, 3.1, 0.15};
const Recovery kRecoveries[] = {
    {kSteadyA, {0.7, 1.5, 4.0}, true, 3, 1000, 8, 0.0, kExact},
    {kSteadyA, {0.7, 1.5, 4.0}, true, 3, 1000, 8, 0.01, kSteadyNoisy},
    {kSteadyB, {0.5, 1.2, 3.0}, true, 3, 1000, 8, 0.0, kExact},
    {kSteadyB, {0.5, 1.2, 3.0}, true, 3, 1000, 8, 0.01, kSteadyNoisy},
    {kSteadyC, {0.6, 1.5, 5.0}, true, 3, 1000, 8, 0.0, kExact},
    {kSteadyC, {0.6, 1.5, 5.0}, true, 3, 1000, 8, 0.01, kSteadyNoisy},
    // RK4 at 8000 steps a cycle; then steps of 1e-4 Uy at most.
    {kRising, {0.8, 1.5, 3.0}, false, 3, 500, 4, 0.0, kExact},
    {kRising, {0.3, 0.6, 1.0, 1.5}, false, 2, 200, 50, 0.0, kExact},
    {kRising, {0.3, 0.6, 1.0, 1.5}, false, 2, 200, 50, 0.01, kRecordNoisy}};

// The test's name in ctest, not the bytes of the row.
void PrintTo(const Recovery& c, std::ostream* os) {
  *os << (c.steady ? "steady, n=" : "from rest, n=") << c.m.n << ", " << c.amplitudes.size() << " amplitudes, noise "
      << c.noise;
}

Synthetic RecordOf(const Recovery& c) {
  std::vector<Block> blocks;
  for (double a : c.amplitudes) blocks.push_back(Block{a * c.m.Uy, c.cycles, c.steady});
  return MakeRecord(c.m, blocks, c.perQuarter, c.substeps);
}

constexpr double Case::*kFields[5] = {&Case::n, &Case::gamma, &Case::alpha, &Case::Fy, &Case::Uy};
class FitRecovery : public ::testing::TestWithParam<Recovery> {};

TEST_P(FitRecovery, RecoversTheTrueParameters) {
  const Recovery& c = GetParam();
  Synthetic rec = RecordOf(c);
  const bool noisy = c.noise > 0.0;
  const unsigned seed = c.steady ? 20261207 : 20261208;
  if (noisy) testing::AddNoise(rec, c.noise, 0.1 * c.noise, c.steady ? c.noise : 0.0, seed);
  FitOptions options;
  options.steady = c.steady;
  const CycleTable table = FindCycles(rec.u, rec.F);
  const FitResult fit = Fit(rec.u, rec.F, table, options);
  EXPECT_EQ(fit.steady, c.steady);
  // Either fit's misfit is relative to the mean F⁺ of the cycles it fitted.
  double meanFPlus = 0.0;
  for (const CycleFit& cf : fit.cycles) meanFPlus += table.cycles[cf.cycle].FPlus;
  meanFPlus /= static_cast<double>(fit.cycles.size());
  EXPECT_NEAR(fit.rmsRelative, fit.rms / meanFPlus, 1e-12 * fit.rmsRelative);
  EXPECT_TRUE(c.steady || fit.points.size() == rec.u.size()) << fit.points.size();
  const double truth[5] = {c.m.n, c.m.gamma, c.m.alpha, c.m.Fy, c.m.Uy};
  std::printf("%zu samples, relative errors (standard errors):", rec.u.size());
  for (int i = 0; i < 5; ++i) {
    const double got = fit.parameters.*kFields[i];
    std::printf(" %s %.3g (%.2g)", kParameterNames[i], got / truth[i] - 1.0, fit.errors[i] / truth[i]);
    EXPECT_NEAR(got, truth[i], c.tolerance[i] * std::fabs(truth[i])) << kParameterNames[i];
    EXPECT_TRUE(!noisy || std::fabs(got - truth[i]) < 5.0 * fit.errors[i]) << kParameterNames[i];
  }
  std::printf(", rms %.3g %% of F+\n", 100.0 * fit.rmsRelative);
  // These records determine the parameters: every search of the whole-record fit ends in the one valley.
  EXPECT_TRUE(c.steady || fit.starts > 1) << fit.starts;
  EXPECT_TRUE(fit.otherFits.empty()) << fit.otherFits.size();
  // Without noise the model's DE is the measured area.
  for (const CycleFit& cf : fit.cycles) {
    EXPECT_TRUE(noisy || std::fabs(cf.modelEDC - cf.measuredEDC) <= 1e-6 * cf.measuredEDC) << cf.modelEDC;
  }
  EXPECT_TRUE(!c.steady || fit.rmsRelative < (noisy ? 0.02 : 1e-7)) << fit.rmsRelative;
  if (!c.steady || c.m.Fy != kSteadyA.Fy) return;
  // Held parameters stay where they are put and the others still come back.
  for (const char* assignment : {"n=2", "beta=0.3"}) SetParameter(options.fixed, assignment);  // γ = 0.7
  const FitResult held = Fit(rec.u, rec.F, table, options);
  EXPECT_EQ(std::tuple(held.parameters.n, held.parameters.gamma, held.errors[0]), std::tuple(2.0, 1.0 - 0.3, 0.0));
  EXPECT_EQ(std::tuple(held.fixed[0], held.fixed[1], held.fixed[2]), std::tuple(true, true, false));
  for (int i = 2; i < 5; ++i) EXPECT_NEAR(held.parameters.*kFields[i], truth[i], 0.02 * truth[i]) << kParameterNames[i];
}

INSTANTIATE_TEST_SUITE_P(Records, FitRecovery, ::testing::ValuesIn(kRecoveries));

// From rest a cycle repeats its predecessor's displacements while the force settles: only one whose EDC and
// peaks repeat too is steady (cycle 2's EDC is 12 % below cycle 1's, cycle 5's 2.2 % below 4's; 8 repeats 7).
TEST(Cycles, SteadyOnlyWhereTheForceRepeats) {
  const Synthetic rec = RecordOf(kRecoveries[6]);
  std::vector<bool> steady;
  for (const Cycle& c : FindCycles(rec.u, rec.F).cycles) steady.push_back(c.steady);
  EXPECT_EQ(steady, (std::vector<bool>{false, false, false, false, false, false, false, true}));
}

TEST(SteadyFit, RefusesRecordsThatCannotDetermineTheParameters) {
  const struct {
    TrueModel m;
    Block block;
    const char* message;
  } cases[] = {{{2.0, 0.5, 1.0, 10.0, 1.0}, Block{2.0, 3, true}, "enclose almost no area"},  // α = 1: a line
               {{2.0, 0.5, 0.1, 10.0, 1.0}, Block{0.02, 2, true}, "almost no area"},        // one tiny cycle
               {{2.0, 0.7, 0.1, 10.0, 1.0}, Block{0.2, 2, true}, "does not determine"}};    // one small cycle
  for (const auto& c : cases) {
    auto rec = MakeRecord(c.m, {c.block}, 500);
    testing::AddNoise(rec, 1e-4, 0.0, 0.0, 5);
    FitOptions steadyFit;
    steadyFit.steady = true;
    ExpectError<Refusal>([&] { Fit(rec.u, rec.F, FindCycles(rec.u, rec.F), steadyFit); }, c.message);
  }
  // u in a unit 1e15 times smaller than F's would stop the fit at its start: refused, with the ratio
  // (F⁺ ≈ 2 + 9·0.97 at u⁺ = 2e-15: 5.5e15).
  auto rec = MakeRecord({2.0, 0.7, 0.1, 10.0, 1.0}, {Block{2.0, 3, true}}, 500);
  for (double& u : rec.u) u *= 1e-15;
  ExpectError<Refusal>([&] { Fit(rec.u, rec.F, FindCycles(rec.u, rec.F), {}); },
                       "the largest force over the largest displacement is 5.5e+15, outside the 1e-12 to 1e12");
}

}  // namespace
}  // namespace quorix::measured
