// The mapping of analysis programs' materials to the normalised case against mpmath's values
// (material_reference.h), the round trips through each program's text, and the refusals; then the
// materials with a nonlinear elastic term (BoucWenOriginal's alphaNL, the elastomericBearingBoucWen
// element's alpha2): their mapping from the programs' own equations, their texts and refusals. Last,
// each program's own equation integrated by RK4 against the closed-form energy of the mapped case.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <variant>

#include "accurate.h"
#include "checks.h"
#include "elastic_term.h"
#include "material.h"
#include "material_reference.h"
#include "material_text.h"

namespace quorix::material {
namespace {

using quorix::testing::Ulps;

void ExpectCase(const Case& got, const reference::Normalised& want, std::int64_t ulps) {
  SCOPED_TRACE(want.label);
  const double gotValues[] = {got.n, got.beta, got.gamma, got.alpha, got.Fy, got.Uy};
  const double wantValues[] = {want.n, want.beta, want.gamma, want.alpha, want.Fy, want.Uy};
  const char* names[] = {"n", "beta", "gamma", "alpha", "Fy", "Uy"};
  for (int i = 0; i < 6; ++i) {
    if (wantValues[i] == 0.0) {
      EXPECT_EQ(gotValues[i], 0.0) << names[i];
    } else {
      EXPECT_LE(Ulps(std::fabs(gotValues[i]), std::fabs(wantValues[i])), ulps)
          << names[i] << ": " << gotValues[i] << " against " << wantValues[i];
      EXPECT_EQ(std::signbit(gotValues[i]), std::signbit(wantValues[i])) << names[i];
    }
  }
}

// Rounded once at the end: every value is the nearest double to the exact mapping.
TEST(MaterialMapping, MatchesHighPrecisionValues) {
  for (const auto& r : reference::kGeneral) {
    // in: A β γ n α Fy Uy
    ExpectCase(Normalise({.n = r.in[3], .beta = r.in[1], .gamma = r.in[2], .alpha = r.in[4], .Fy = r.in[5],
                          .Uy = r.in[6], .A = r.in[0]}),
               r, 0);
  }
  for (const auto& r : reference::kBoucWen) {
    OpenSeesBoucWen m;
    m.alpha = r.in[0], m.ko = r.in[1], m.n = r.in[2], m.gamma = r.in[3], m.beta = r.in[4], m.Ao = r.in[5];
    ExpectCase(FromOpenSees(m), r, 0);
  }
  for (const auto& r : reference::kOriginal) {
    OpenSeesBoucWenOriginal m;
    m.E = r.in[0], m.fy = r.in[1], m.alphaL = r.in[2], m.eta = r.in[3], m.beta = r.in[4], m.gamma = r.in[5];
    ExpectCase(FromOpenSees(m), r, 0);
  }
}

// Cases for the round trips: saturating and not, a Wen link (β = γ), β < 0, a large Fy.
const Case kRoundTripCases[] = {{2.0, 0.1, 0.9, 0.1, 2.86, 0.111},
                                {1.0, 0.5, 0.5, 0.0, 1e3, 2e-3},
                                {0.6, -0.25, 1.25, 0.37, 7.5, 13.0},
                                {3.5, 0.7, 0.3, 0.02, 4.2e5, 0.031}};

// Case → program text → case: each double exact in the text, the values a program keeps (ko, β·s, γ·s,
// E = Fy/Uy, k) cost at most one rounding.
TEST(MaterialMapping, RoundTripsThroughEachProgramsText) {
  const auto& cases = kRoundTripCases;
  for (const Case& c : cases) {
    const reference::Normalised want{"", {}, c.n, c.beta, c.gamma, c.alpha, c.Fy, c.Uy};
    for (double A : {1.0, 0.5, 2.0}) {
      SCOPED_TRACE("n " + std::to_string(c.n) + ", A " + std::to_string(A));
      const OpenSeesBoucWen m = ToOpenSees(c, A, 7);
      ExpectCase(FromOpenSees(ParseOpenSees(TclLine(m))), want, 1);
      ExpectCase(FromOpenSees(ParseOpenSees(PythonCall(m))), want, 1);
    }
    ExpectCase(FromOpenSees(ParseOpenSees(TclLine(ToOpenSeesOriginal(c)))), want, 1);
    ExpectCase(FromOpenSees(ParseOpenSees(PythonCall(ToOpenSeesOriginal(c)))), want, 1);
    if (const auto link = ToCsiWen(c)) ExpectCase(FromCsiWen(ParseCsiWen(CsiWenText(*link))), want, 1);
  }
  EXPECT_FALSE(ToCsiWen(cases[0]).has_value());  // γ = 0.9: not a Wen link
  EXPECT_TRUE(ToCsiWen(cases[1]).has_value());
}

TEST(MaterialText, ReadsTheFormsAnalysisFilesUse) {
  const Case tcl = FromOpenSees(ParseOpenSees("uniaxialMaterial BoucWen 1 0.1 25.766 2 8.1162 73.046 1.0 0 0 0"));
  EXPECT_NEAR(tcl.Uy, 0.111, 1e-6);  // the default case to its five digits
  EXPECT_NEAR(tcl.Fy, 2.86, 1e-4);
  EXPECT_NEAR(tcl.gamma, 0.9, 1e-6);
  const Case py = FromOpenSees(ParseOpenSees(" ops.uniaxialMaterial( \"BoucWen\", 1, 0.1, 25.766, 2, 8.1162, 73.046, 1.0, "
                                       "0.0, 0.0, 0.0, 1e-8, 20, ) "));
  EXPECT_EQ(std::pair(py.Uy, py.Fy), std::pair(tcl.Uy, tcl.Fy));
  // BoucWenOriginal's optional words take their defaults: η = 1, β = γ = ½.
  const Case original = FromOpenSees(ParseOpenSees("uniaxialMaterial BoucWenOriginal 3 2e5 355 0.02;"));
  EXPECT_EQ(std::tuple(original.n, original.gamma, original.Fy), std::tuple(1.0, 0.5, 355.0));
  const CsiWen link = ParseCsiWen("exp=2, ratio=0.1 ,yield=2.86,k=25.765765765765767");
  EXPECT_EQ(FromCsiWen(link).Uy, 2.86 / 25.765765765765767);
}

TEST(MaterialText, RefusesNamingTheFault) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"uniaxialMaterial BoucWen 1 0.1 $ko 2 8.1 73 1 0 0 0", "word 4 \"$ko\" (ko) is not a number"},
      {"uniaxialMaterial BoucWen 1.5 0.1 25 2 8.1 73 1 0 0 0", "word 2 \"1.5\" (tag) is not a whole number"},
      {"uniaxialMaterial BoucWen 1 0.1 25 2 8.1 73 1 0 0", "BoucWen needs 10 values after its name"},
      {"uniaxialMaterial BoucWen 1 0.1 25 2 8.1 73 1 0 0 0 1e-8 20 5", "word 14 \"5\": BoucWen takes at most 12"},
      {"uniaxialMaterial BoucWen 1 0.1 25 2 8.1 73 1 0.2 0 0", "deltaA = 0.2: degradation has no closed form"},
      {"uniaxialMaterial BoucWen 1 0.1 25 2 8.1 73 1 0 0 0.1", "deltaEta = 0.1"},
      {"uniaxialMaterial BoucWen 1 0.1 25 2 -8 -73 1 0 0 0", "beta + gamma must be positive"},
      {"uniaxialMaterial BoucWen 1 0.1 25 2 80 -7 1 0 0 0", "beta (on the |du/dt| term) must not be negative"},
      {"uniaxialMaterial BoucWen 1 0.1 25 2 8 73 1e999 0 0 0", "(Ao) is not within the range of a double"},
      {"uniaxialMaterial BoucWenOriginal 1 2e5 355 0.02 0.1", "the nonlinear elastic term k3*sgn(u)*|u|^mu (k3 = 20000"},
      {"uniaxialMaterial Steel01 1 355 2e5 0.01", "\"Steel01\" is not one Quorix can map"},
      {"ops.uniaxialMaterial(BoucWen, 1)", "the material's name must be a quoted string"},
      {"ops.uniaxialMaterial('BoucWen', 1, 0.1", "closing parenthesis is missing"},
      {"BoucWen 1 0.1 25 2 8.1 73 1 0 0 0", "begins with uniaxialMaterial"},
  };
  for (const auto& c : cases) {
    try {
      FromOpenSees(ParseOpenSees(c.text));
      ADD_FAILURE() << c.text << " was accepted";
    } catch (const Refusal& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.text << " -> " << e.what();
    }
  }
  // Below the smallest subnormal a number is ±0, as C libraries read it.
  EXPECT_EQ(std::get<OpenSeesBoucWen>(ParseOpenSees("uniaxialMaterial BoucWen 1 -1e-400 25 2 8 73 1 0 0 0")).alpha, 0.0);
  for (const char* text : {"k=1,yield=2,ratio=0.1", "k=1,yield=2,ratio=0.1,exp=2,k=3", "k=1,yield=x,ratio=0,exp=1",
                           "k=1,yield=2,ratio=1.5,exp=1", "stiffness=1"}) {
    EXPECT_THROW(FromCsiWen(ParseCsiWen(text)), Refusal) << text;
  }
}

TEST(MaterialMapping, WarnsOnlyBeyondTheBetaFieldsDigits) {
  EXPECT_FALSE(SumDiffersFromOne(0.1, 0.9));  // 1 − 0.9 is 0.09999999999999998
  EXPECT_FALSE(SumDiffersFromOne(0.5, 0.5));
  EXPECT_TRUE(SumDiffersFromOne(0.6, 0.6));
  EXPECT_TRUE(SumDiffersFromOne(0.1000000000001, 0.9));
}

// Each value of the case and k3 within `ulps` of the wanted one (same sign).
void ExpectMapped(const MappedMaterial& got, const reference::WithTerm& want, std::int64_t ulps) {
  SCOPED_TRACE(want.label);
  const double gotValues[] = {got.c.n, got.c.beta, got.c.gamma, got.c.alpha, got.c.Fy, got.c.Uy, got.elastic.k3};
  const double wantValues[] = {want.n, want.beta, want.gamma, want.alpha, want.Fy, want.Uy, want.k3};
  const char* names[] = {"n", "beta", "gamma", "alpha", "Fy", "Uy", "k3"};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(std::signbit(gotValues[i]), std::signbit(wantValues[i])) << names[i];
    EXPECT_LE(Ulps(std::fabs(gotValues[i]), std::fabs(wantValues[i])), ulps)
        << names[i] << ": " << gotValues[i] << " against " << wantValues[i];
  }
}

OpenSeesBoucWenOriginal OriginalOf(const double (&in)[8]) {
  OpenSeesBoucWenOriginal m;
  m.E = in[0], m.fy = in[1], m.alphaL = in[2], m.alphaNL = in[3], m.mu = in[4], m.eta = in[5], m.beta = in[6],
  m.gamma = in[7];
  return m;
}
ElastomericBearing BearingOf(const double (&in)[8]) {
  ElastomericBearing m;
  m.kInit = in[0], m.qd = in[1], m.alpha1 = in[2], m.alpha2 = in[3], m.mu = in[4], m.eta = in[5], m.beta = in[6],
  m.gamma = in[7];
  return m;
}

// Rounded once from double-double: the nearest double or the one beside it.
TEST(MaterialTerm, MatchesTheProgramsOwnEquationsInHighPrecision) {
  for (const auto& r : reference::kOriginalTerm) ExpectMapped(Map(OriginalOf(r.in)), r, 1);
  for (const auto& r : reference::kBearing) ExpectMapped(Map(BearingOf(r.in)), r, 1);
  // Without alpha2 the element's case is BoucWenOriginal's with E = kInit, fy = qd, alphaL = alpha1, bit for bit.
  const auto& plain = reference::kBearing[2];
  OpenSeesBoucWenOriginal same = OriginalOf(plain.in);
  same.alphaNL = 0.0;
  const Case viaOriginal = FromOpenSees(same);
  const MappedMaterial viaBearing = Map(BearingOf(plain.in));
  EXPECT_FALSE(viaBearing.elastic.Active());
  EXPECT_EQ(std::memcmp(&viaOriginal, &viaBearing.c, sizeof(Case)), 0);
}

// Case and term → text → case and term. The text carries every double; what is left is the rounding of
// E, fy, alphaNL (or kInit, qd, alpha2) on the way out and of the term's power on the way back.
TEST(MaterialTerm, RoundTripsThroughTheTextOfBothForms) {
  const auto& cases = kRoundTripCases;
  // k3 as a share t of Fy at u = Uy: the term's force there, t·Fy.
  const struct {
    double t, mu;
  } terms[] = {{0.05, 3.0}, {-0.1, 1.5}, {0.3, 0.5}, {0.2, 1.0}};
  std::int64_t worst = 0;
  for (const Case& c : cases) {
    for (const auto& t : terms) {
      const ElasticTerm term{t.t * c.Fy / std::pow(c.Uy, t.mu), t.mu};
      SCOPED_TRACE("n " + std::to_string(c.n) + ", t " + std::to_string(t.t) + ", mu " + std::to_string(t.mu));
      const OpenSeesBoucWenOriginal original = ToOpenSeesOriginal(c, term, 4);
      const ElastomericBearing bearing = ToElastomericBearing(c, term, 4);
      for (const std::string& text :
           {TclLine(original), PythonCall(original), TclLine(bearing), PythonCall(bearing)}) {
        const MappedMaterial back = Map(ParseOpenSees(text));
        const double got[] = {back.c.n, back.c.beta, back.c.gamma, back.c.alpha, back.c.Fy, back.c.Uy, back.elastic.k3};
        const double want[] = {c.n, c.beta, c.gamma, c.alpha, c.Fy, c.Uy, term.k3};
        for (int i = 0; i < 7; ++i) {
          if (want[i] == 0.0) {
            EXPECT_EQ(got[i], 0.0) << text;
            continue;
          }
          EXPECT_EQ(std::signbit(got[i]), std::signbit(want[i])) << text;
          worst = std::max(worst, Ulps(std::fabs(got[i]), std::fabs(want[i])));
          EXPECT_LE(Ulps(std::fabs(got[i]), std::fabs(want[i])), 4) << i << " " << text;
        }
        EXPECT_EQ(back.elastic.mu, term.mu) << text;
      }
    }
  }
  std::printf("worst round trip with an elastic term: %lld ulps\n", static_cast<long long>(worst));
  // Without a term, the element writes the case back as it was read: qd = Fy, alpha2 = 0.
  const ElastomericBearing plain = ToElastomericBearing(cases[0]);
  EXPECT_EQ(plain.qd, cases[0].Fy);
  EXPECT_EQ(plain.alpha2, 0.0);
  EXPECT_EQ(ToOpenSeesOriginal(cases[0], ElasticTerm{}).alphaNL, 0.0);
}

TEST(MaterialTerm, ReadsTheElementsTwoAndThreeDimensionalForms) {
  const struct {
    const char* text;
    const char* tclBack;  // the line written from what was read
  } cases[] = {
      {"element elastomericBearingBoucWen 1 1 2 1e4 50 0.1 0.3 2 1 0.5 0.5 -P 3 -Mz 4",
       "element elastomericBearingBoucWen 1 1 2 10000 50 0.1 0.3 2 1 0.5 0.5 -P 3 -Mz 4"},
      {"element elastomericBearingBoucWen 7 $i $j 1e4 50 0.1 0.3 2 -P 3 -T 5 -My 6 -Mz 4 -orient 0 0 1 1 0 0 "
       "-shearDist 0.5 -doRayleigh -mass 2;",
       "element elastomericBearingBoucWen 7 $i $j 10000 50 0.1 0.3 2 1 0.5 0.5 -P 3 -T 5 -My 6 -Mz 4 -orient 0 0 1 1 "
       "0 0 -shearDist 0.5 -doRayleigh -mass 2"},
      {"ops.element('elastomericBearingBoucWen', 1, *[1, 2], 1e4, 50.0, 0.1, 0.3, 2.0, 1.0, 0.5, 0.5, '-P', matP, "
       "'-Mz', 4)",
       "element elastomericBearingBoucWen 1 1 2 10000 50 0.1 0.3 2 1 0.5 0.5 -P $matP -Mz 4"},
  };
  for (const auto& c : cases) {
    const OpenSeesMaterial parsed = ParseOpenSees(c.text);
    const auto* bearing = std::get_if<ElastomericBearing>(&parsed);
    ASSERT_NE(bearing, nullptr) << c.text;
    EXPECT_EQ(TclLine(*bearing), c.tclBack);
    // Python's form of it reads back to the same words.
    EXPECT_EQ(TclLine(std::get<ElastomericBearing>(ParseOpenSees(PythonCall(*bearing)))), c.tclBack);
  }
  // The defaults of eta, beta and gamma are the documented 1, 0.5, 0.5.
  const Case a = Map(ParseOpenSees(cases[1].text)).c;
  EXPECT_EQ(a.n, 1.0);
  EXPECT_EQ(a.beta, 0.5);
}

TEST(MaterialTerm, RefusesNamingTheParameter) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"uniaxialMaterial BoucWenOriginal 1 2e5 355 0.02 1e9 2", "alphaNL = 1e+09: the hysteretic strength"},
      {"uniaxialMaterial BoucWenOriginal 1 2e5 355 0.02 10 0", "mu (the exponent of the elastic term alphaNL)"},
      {"element elastomericBearingBoucWen 1 1 2 1e4 50 1 0 2 -P 1 -Mz 2", "alpha1 must lie in [0, 1)"},
      {"element elastomericBearingBoucWen 1 1 2 1e4 50 0.1 500 2 -P 1 -Mz 2", "alpha2 = 500: the hysteretic strength"},
      {"element elastomericBearingBoucWen 1 1 2 1e4 50 0.1 0.2 -1 -P 1 -Mz 2", "mu (the exponent of the elastic"},
      {"element elastomericBearingBoucWen 1 1 2 1e4 50 0.1 0.2 2 0 -P 1 -Mz 2", "eta must be positive"},
      {"element elastomericBearingBoucWen 1 1 2 1e4 50 0.1 0.2 2 1 -0.5 1.2 -P 1 -Mz 2",
       "beta (on the |du/dt| term) must not be negative"},
      {"element elastomericBearingBoucWen 1 1 2 1e4 50 0.1 -P 1 -Mz 2", "needs 8 values after its name"},
      {"element elastomericBearingBoucWen 1 1 2 1e4 x 0.1 0.2 2 -P 1 -Mz 2", "word 6 \"x\" (qd) is not a number"},
      {"element zeroLength 1 1 2 -mat 1 -dir 1", "\"zeroLength\" is not one Quorix can map"},
  };
  for (const auto& c : cases) {
    try {
      Map(ParseOpenSees(c.text));
      ADD_FAILURE() << c.text << " was accepted";
    } catch (const Refusal& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.text << " -> " << e.what();
    }
  }
  // The case alone cannot take a term; the element cannot hold one that outgrows its strength.
  EXPECT_THROW(FromOpenSees(ParseOpenSees("uniaxialMaterial BoucWenOriginal 1 2e5 355 0.02 0.1")), Refusal);
  const Case c{1.0, 0.5, 0.5, 0.1, 10.0, 0.01};
  EXPECT_THROW(ToElastomericBearing(c, {2.0 * 10.0 / 1e-4, 2.0}), Refusal);
}

TEST(MaterialTerm, ReportsWhatEachFormCanHold) {
  const Case c{2.0, 0.5, 0.5, 0.1, 2.86, 0.111};
  const ElasticTerm term{100.0, 3.0};
  const std::string with = ReportText(LinesOf(c, term, 1.0));
  EXPECT_NE(with.find("OpenSees: BoucWen: none (it has no nonlinear elastic term"), std::string::npos) << with;
  EXPECT_NE(with.find("CSI Wen link: none (it has no nonlinear elastic term"), std::string::npos) << with;
  EXPECT_NE(with.find("OpenSees: element elastomericBearingBoucWen 1 $iNode $jNode"), std::string::npos) << with;
  EXPECT_NE(with.find("OpenSeesPy: ops.element('elastomericBearingBoucWen', 1, iNode, jNode"), std::string::npos);
  // Without a term every line is as before, and no element line unless asked for.
  EXPECT_EQ(ReportText(LinesOf(c, ElasticTerm{}, 1.0)), ReportText(LinesOf(c)));
  // The element read keeps its tag, nodes and other directions' words.
  const auto read = std::get<ElastomericBearing>(ParseOpenSees("element elastomericBearingBoucWen 9 3 4 1e4 50 0.1 0 2 -P 5 -Mz 6"));
  EXPECT_NE(ReportText(LinesOf(Map(read).c, ElasticTerm{}, 1.0, 1, &read))
                .find("OpenSees: element elastomericBearingBoucWen 9 3 4 10000 50 0.1 0 2 1 0.5 0.5 -P 5 -Mz 6\n"),
            std::string::npos);
}

// Each program's own equation in its own parameters, integrated by this test's RK4 in u (the law is
// rate-independent) over symmetric cycles: the steady energy against the closed form on the mapped case, the
// step halved once to show that the difference is the integrator's.
struct Law {
  // dz/du on a branch of direction d = ±1 (the sign of du/dt).
  std::function<double(double z, double d)> slope;
  std::function<double(double u, double z)> force;
};

// Signed power |z|^(p−1)·z and plain |z|^p.
double SignedPower(double z, double p) { return std::copysign(std::pow(std::fabs(z), p), z); }
double AbsPower(double z, double p) { return std::pow(std::fabs(z), p); }

// ∮F du over the last of `cycles` cycles ±umax from u = z = 0, loading first; `steps` steps a branch.
double SteadyEnergy(const Law& law, double umax, int steps, int cycles, double* tipForce = nullptr) {
  double u = 0.0, z = 0.0;
  auto leg = [&](double to, int n, double& work) {
    const double h = (to - u) / n;
    const double d = h > 0 ? 1.0 : -1.0;
    const double u0 = u;
    for (int i = 0; i < n; ++i) {
      const double ui = u0 + i * h;
      const double k1 = law.slope(z, d), w1 = law.force(ui, z);
      const double k2 = law.slope(z + 0.5 * h * k1, d), w2 = law.force(ui + 0.5 * h, z + 0.5 * h * k1);
      const double k3 = law.slope(z + 0.5 * h * k2, d), w3 = law.force(ui + 0.5 * h, z + 0.5 * h * k2);
      const double k4 = law.slope(z + h * k3, d), w4 = law.force(ui + h, z + h * k3);
      z += h / 6.0 * (k1 + 2.0 * k2 + 2.0 * k3 + k4);
      work += h / 6.0 * (w1 + 2.0 * w2 + 2.0 * w3 + w4);
    }
    u = to;
  };
  double ignored = 0.0;
  leg(umax, steps / 2, ignored);
  double work = 0.0;
  for (int c = 0; c < cycles; ++c) {
    work = 0.0;
    leg(-umax, steps, work);
    leg(umax, steps, work);
  }
  if (tipForce != nullptr) *tipForce = law.force(umax, z);
  return work;
}

double ClosedFormEnergy(const Case& c, double umax) {
  BoucWenCase bw = RecordOf(c, umax / c.Uy);
  bw.Complementary = true;
  accurate::Solve(bw);
  return bw.DE;
}

Law OpenSeesLaw(const OpenSeesBoucWen& m) {
  return {[m](double z, double d) { return m.Ao - m.beta * d * SignedPower(z, m.n) - m.gamma * AbsPower(z, m.n); },
          [m](double u, double z) { return m.alpha * m.ko * u + (1.0 - m.alpha) * m.ko * z; }};
}
Law OriginalLaw(const OpenSeesBoucWenOriginal& m) {
  return {[m](double z, double d) {
            return m.E / m.fy * (1.0 - m.beta * d * SignedPower(z, m.eta) - m.gamma * AbsPower(z, m.eta));
          },
          [m](double u, double z) { return m.alphaL * m.E * u + (1.0 - m.alphaL) * m.fy * z; }};
}
// BoucWenOriginal with alphaNL: z over εy = fy/E, the force qd·z + αL·E·u + k3·sgn(u)·|u|^μ.
Law OriginalTermLaw(const OpenSeesBoucWenOriginal& m) {
  const double epsY = m.fy / m.E, k3 = m.alphaNL * m.E;
  const double qd = m.fy - m.alphaL * m.E * epsY - k3 * std::pow(epsY, m.mu);
  return {[m, epsY](double z, double d) {
            return (1.0 - m.beta * d * SignedPower(z, m.eta) - m.gamma * AbsPower(z, m.eta)) / epsY;
          },
          [m, qd, k3](double u, double z) { return qd * z + m.alphaL * m.E * u + k3 * SignedPower(u, m.mu); }};
}
// The element's shear law: z over uy = qYield/k0, the force qYield·z + α1·kInit·u + k3·sgn(u)·|u|^μ.
Law BearingLaw(const ElastomericBearing& m) {
  const double qYield = (1.0 - m.alpha1 - m.alpha2 * std::pow(m.qd / m.kInit, m.mu - 1.0)) * m.qd;
  const double uy = qYield / ((1.0 - m.alpha1) * m.kInit), k3 = m.alpha2 * m.kInit;
  return {[m, uy](double z, double d) {
            return (1.0 - m.beta * d * SignedPower(z, m.eta) - m.gamma * AbsPower(z, m.eta)) / uy;
          },
          [m, qYield, k3](double u, double z) {
            return qYield * z + m.alpha1 * m.kInit * u + k3 * SignedPower(u, m.mu);
          }};
}

Law CsiLaw(const CsiWen& m) {
  return {[m](double z, double d) { return m.k / m.yield * (d * z > 0.0 ? 1.0 - AbsPower(z, m.exp) : 1.0); },
          [m](double u, double z) { return m.ratio * m.k * u + (1.0 - m.ratio) * m.yield * z; }};
}
Law GeneralLaw(const Case& g) {
  return {[g](double z, double d) {
            return (g.A - g.gamma * d * SignedPower(z, g.n) - g.beta * AbsPower(z, g.n)) / g.Uy;
          },
          [g](double u, double z) { return g.alpha * g.Fy / g.Uy * u + (1.0 - g.alpha) * g.Fy * z; }};
}

OpenSeesBoucWen BoucWen(double alpha, double ko, double n, double gamma, double beta, double Ao) {
  OpenSeesBoucWen m;
  m.alpha = alpha, m.ko = ko, m.n = n, m.gamma = gamma, m.beta = beta, m.Ao = Ao;
  return m;
}
OpenSeesBoucWenOriginal Original(double E, double fy, double alphaL, double eta, double beta, double gamma) {
  OpenSeesBoucWenOriginal m;
  m.E = E, m.fy = fy, m.alphaL = alphaL, m.eta = eta, m.beta = beta, m.gamma = gamma;
  return m;
}

// The closed form's record of the mapped case at umax, its forces with the elastic term.
BoucWenCase ClosedForm(const MappedMaterial& m, double umax) {
  BoucWenCase bw = RecordOf(m.c, umax / m.c.Uy);
  bw.Complementary = true;
  accurate::Solve(bw);
  AddElasticTerm(bw, m.elastic);
  return bw;
}

OpenSeesBoucWenOriginal OriginalTerm(double E, double fy, double alphaL, double alphaNL, double mu, double eta,
                                     double beta, double gamma) {
  OpenSeesBoucWenOriginal m = Original(E, fy, alphaL, eta, beta, gamma);
  m.alphaNL = alphaNL, m.mu = mu;
  return m;
}
ElastomericBearing Bearing(double kInit, double qd, double alpha1, double alpha2, double mu, double eta, double beta,
                           double gamma) {
  ElastomericBearing m;
  m.kInit = kInit, m.qd = qd, m.alpha1 = alpha1, m.alpha2 = alpha2, m.mu = mu, m.eta = eta, m.beta = beta,
  m.gamma = gamma;
  return m;
}

// The elastic term does no work over the cycle: the energy is the closed form's of the mapped case, and the
// force at the tip is the closed form's Fa with the term's force there.
TEST(MaterialIntegration, AnElasticTermKeepsTheEnergyAndAddsItsForce) {
  const OpenSeesBoucWenOriginal o1 = OriginalTerm(2e5, 355.0, 0.02, 2000.0, 3.0, 1.0, 0.5, 0.5);
  const OpenSeesBoucWenOriginal o2 = OriginalTerm(210e3, 250.0, 0.05, 0.5, 1.5, 2.0, 1.0, 0.5);
  const ElastomericBearing b1 = Bearing(1e4, 50.0, 0.1, 0.3, 2.0, 1.0, 0.5, 0.5);
  const ElastomericBearing b2 = Bearing(2e3, 20.0, 0.05, 0.02, 0.5, 1.5, 0.8, 0.6);
  const ElastomericBearing b3 = Bearing(2e3, 20.0, 0.05, -0.02, 0.5, 1.5, 0.8, 0.6);  // a softening spring
  const struct {
    std::string label;
    Law law;
    MappedMaterial mapped;
    double umax;
  } cases[] = {
      {"BoucWenOriginal alphaNL=2000 mu=3, u=3 Uy", OriginalTermLaw(o1), Map(o1), 3.0 * Map(o1).c.Uy},
      {"BoucWenOriginal alphaNL=0.5 mu=1.5 eta=2, u=5 Uy", OriginalTermLaw(o2), Map(o2), 5.0 * Map(o2).c.Uy},
      {"bearing alpha2=0.3 mu=2, u=0.1 (saturated)", BearingLaw(b1), Map(b1), 0.1},
      {"bearing alpha2=0.02 mu=0.5 eta=1.5, u=0.05", BearingLaw(b2), Map(b2), 0.05},
      {"bearing alpha2=-0.02 mu=0.5 eta=1.5, u=0.05", BearingLaw(b3), Map(b3), 0.05},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(c.mapped.elastic.Active());
    const BoucWenCase closed = ClosedForm(c.mapped, c.umax);
    double previous = 0.0;
    for (int steps : {4000, 8000}) {
      double tip = 0.0;
      const double difference = std::fabs(SteadyEnergy(c.law, c.umax, steps, 40, &tip) / closed.DE - 1.0);
      const double force = std::fabs(tip / closed.Fa - 1.0);
      std::printf("%-48s %6d steps/branch  relative difference %.2e, force at the tip %.2e\n", c.label.c_str(), steps,
                  difference, force);
      EXPECT_LT(difference, 2e-6);
      EXPECT_LT(force, 2e-6);
      if (steps == 8000) {
        EXPECT_TRUE(difference < 0.75 * previous || difference < 1e-10) << difference;
      }
      previous = difference;
    }
  }
}

TEST(MaterialIntegration, EachProgramsEquationGivesTheClosedFormsEnergy) {
  const OpenSeesBoucWen bw1 = BoucWen(0.02, 5e4, 1.0, 30.0, 50.0, 2.0);
  const OpenSeesBoucWen bw2 = BoucWen(0.2, 300.0, 0.6, -0.4, 1.2, 0.5);
  const OpenSeesBoucWen bw3 = BoucWen(0.1, 25.766, 2.0, 8.1162, 73.046, 1.0);
  const OpenSeesBoucWenOriginal o1 = Original(210e3, 250.0, 0.05, 2.0, 1.0, 0.5);
  const CsiWen csi{2.0e4, 150.0, 0.08, 1.5};
  const Case general{.n = 1.5, .beta = 1.0, .gamma = 2.0, .alpha = 0.3, .Fy = 1e3, .Uy = 2.5, .A = 0.5};
  const struct {
    std::string label;
    Law law;
    Case mapped;
    double umax;
  } cases[] = {
      {"BoucWen Ao=2 n=1 b+g=80, u=0.5 Uy", OpenSeesLaw(bw1), FromOpenSees(bw1), 0.5 * FromOpenSees(bw1).Uy},
      {"BoucWen Ao=2 n=1 b+g=80, u=40 Uy", OpenSeesLaw(bw1), FromOpenSees(bw1), 40.0 * FromOpenSees(bw1).Uy},
      {"BoucWen Ao=0.5 n=0.6 b+g=0.8, u=2 Uy", OpenSeesLaw(bw2), FromOpenSees(bw2), 2.0 * FromOpenSees(bw2).Uy},
      {"BoucWen default line, u=0.111", OpenSeesLaw(bw3), FromOpenSees(bw3), 0.111},
      {"BoucWenOriginal eta=2 b+g=1.5, u=3 Uy", OriginalLaw(o1), FromOpenSees(o1), 3.0 * FromOpenSees(o1).Uy},
      {"CSI Wen exp=1.5, d=0.02", CsiLaw(csi), FromCsiWen(csi), 0.02},
      {"CSI Wen exp=1.5, d=0.3 (saturated)", CsiLaw(csi), FromCsiWen(csi), 0.3},
      {"general A=0.5 b+g=3 n=1.5, u=1.5", GeneralLaw(general), Normalise(general), 1.5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const double exact = ClosedFormEnergy(c.mapped, c.umax);
    double previous = 0.0;
    for (int steps : {4000, 8000}) {
      const double difference = std::fabs(SteadyEnergy(c.law, c.umax, steps, 40) / exact - 1.0);
      std::printf("%-40s %6d steps/branch  relative difference %.2e\n", c.label.c_str(), steps, difference);
      EXPECT_LT(difference, 2e-6);
      // Halving the step shrinks the difference, down to the doubles' floor over 6·10⁵ steps.
      if (steps == 8000) {
        EXPECT_TRUE(difference < 0.75 * previous || difference < 1e-10) << difference;
      }
      previous = difference;
    }
  }
}

}  // namespace
}  // namespace quorix::material
