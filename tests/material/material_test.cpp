// The mapping of analysis programs' materials to the normalised case against mpmath's values
// (material_reference.h), with and without a nonlinear elastic term (BoucWenOriginal's alphaNL, the
// elastomericBearingBoucWen element's alpha2); the round trips through each program's text; the texts
// analysis files use and the refusals. Last, each program's own equation integrated by RK4 against the
// closed-form energy and tip force of the mapped case.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
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

using Values = std::array<double, 7>;  // n β γ α Fy Uy k3
Values Of(const Case& c, double k3 = 0.0) { return {c.n, c.beta, c.gamma, c.alpha, c.Fy, c.Uy, k3}; }
Values Of(const MappedMaterial& m) { return Of(m.c, m.elastic.k3); }
template <class Reference>
Values Want(const Reference& r) {
  double k3 = 0.0;
  if constexpr (requires { r.k3; }) k3 = r.k3;
  return {r.n, r.beta, r.gamma, r.alpha, r.Fy, r.Uy, k3};
}

// Each value within `ulps` of the wanted one, with its sign; a wanted 0 exactly. Returns the worst distance.
std::int64_t ExpectValues(const Values& got, const Values& want, std::int64_t ulps, const std::string& where) {
  static const char* const names[] = {"n", "beta", "gamma", "alpha", "Fy", "Uy", "k3"};
  std::int64_t worst = 0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (want[i] == 0.0) {
      EXPECT_EQ(got[i], 0.0) << names[i] << ", " << where;
      continue;
    }
    EXPECT_EQ(std::signbit(got[i]), std::signbit(want[i])) << names[i] << ", " << where;
    const std::int64_t distance = Ulps(std::fabs(got[i]), std::fabs(want[i]));
    worst = std::max(worst, distance);
    EXPECT_LE(distance, ulps) << names[i] << ": " << got[i] << " against " << want[i] << ", " << where;
  }
  return worst;
}

OpenSeesBoucWenOriginal OriginalOf(const double (&in)[8]) {
  return {.E = in[0], .fy = in[1], .alphaL = in[2], .alphaNL = in[3], .mu = in[4], .eta = in[5], .beta = in[6],
          .gamma = in[7]};
}
ElastomericBearing BearingOf(const double (&in)[8]) {
  return {.kInit = in[0], .qd = in[1], .alpha1 = in[2], .alpha2 = in[3], .mu = in[4], .eta = in[5], .beta = in[6],
          .gamma = in[7]};
}

// Without a term rounded once at the end: every value the nearest double to the exact mapping. With one, from
// double-double: the nearest double or the one beside it.
TEST(MaterialMapping, MatchesHighPrecisionValues) {
  for (const auto& r : reference::kGeneral) {  // in: A β γ n α Fy Uy
    const Case general{.n = r.in[3], .beta = r.in[1], .gamma = r.in[2], .alpha = r.in[4], .Fy = r.in[5],
                       .Uy = r.in[6], .A = r.in[0]};
    ExpectValues(Of(Normalise(general)), Want(r), 0, r.label);
  }
  for (const auto& r : reference::kBoucWen) {
    const OpenSeesBoucWen m{.alpha = r.in[0], .ko = r.in[1], .n = r.in[2], .gamma = r.in[3], .beta = r.in[4],
                            .Ao = r.in[5]};
    ExpectValues(Of(FromOpenSees(m)), Want(r), 0, r.label);
  }
  for (const auto& r : reference::kOriginal) {
    const OpenSeesBoucWenOriginal m{.E = r.in[0], .fy = r.in[1], .alphaL = r.in[2], .eta = r.in[3], .beta = r.in[4],
                                    .gamma = r.in[5]};
    ExpectValues(Of(FromOpenSees(m)), Want(r), 0, r.label);
  }
  for (const auto& r : reference::kOriginalTerm) ExpectValues(Of(Map(OriginalOf(r.in))), Want(r), 1, r.label);
  for (const auto& r : reference::kBearing) ExpectValues(Of(Map(BearingOf(r.in))), Want(r), 1, r.label);
}

// Case (and term) → program text → case (and term). The text carries every double; without a term the values a
// program keeps (ko, β·s, γ·s, E = Fy/Uy, k) cost at most one rounding, with one the rounding of E, fy, alphaNL
// (or kInit, qd, alpha2) on the way out and of the term's power on the way back at most four.
TEST(MaterialMapping, RoundTripsThroughEachProgramsText) {
  // Saturating and not, a Wen link (β = γ), β < 0, a large Fy.
  const Case cases[] = {{2.0, 0.1, 0.9, 0.1, 2.86, 0.111},
                        {1.0, 0.5, 0.5, 0.0, 1e3, 2e-3},
                        {0.6, -0.25, 1.25, 0.37, 7.5, 13.0},
                        {3.5, 0.7, 0.3, 0.02, 4.2e5, 0.031}};
  // k3 as a share t of Fy at u = Uy: the term's force there, t·Fy.
  const std::pair<double, double> terms[] = {{0.05, 3.0}, {-0.1, 1.5}, {0.3, 0.5}, {0.2, 1.0}};  // t, μ
  std::int64_t worst = 0;
  for (const Case& c : cases) {
    const std::string where = "n " + std::to_string(c.n);
    for (double A : {1.0, 0.5, 2.0}) {
      const OpenSeesBoucWen m = ToOpenSees(c, A, 7);
      for (const std::string& text : {TclLine(m), PythonCall(m)}) {
        ExpectValues(Of(FromOpenSees(ParseOpenSees(text))), Of(c), 1, where + ": " + text);
      }
    }
    for (const std::string& text : {TclLine(ToOpenSeesOriginal(c)), PythonCall(ToOpenSeesOriginal(c))}) {
      ExpectValues(Of(FromOpenSees(ParseOpenSees(text))), Of(c), 1, where + ": " + text);
    }
    if (const auto link = ToCsiWen(c)) ExpectValues(Of(FromCsiWen(ParseCsiWen(CsiWenText(*link)))), Of(c), 1, where);
    for (const auto& [t, mu] : terms) {
      const ElasticTerm term{t * c.Fy / std::pow(c.Uy, mu), mu};
      const OpenSeesBoucWenOriginal original = ToOpenSeesOriginal(c, term, 4);
      const ElastomericBearing bearing = ToElastomericBearing(c, term, 4);
      for (const std::string& text : {TclLine(original), PythonCall(original), TclLine(bearing), PythonCall(bearing)}) {
        const MappedMaterial back = Map(ParseOpenSees(text));
        worst = std::max(worst, ExpectValues(Of(back), Of(c, term.k3), 4, where + ": " + text));
        EXPECT_EQ(back.elastic.mu, term.mu) << text;
      }
    }
  }
  std::printf("worst round trip with an elastic term: %lld ulps\n", static_cast<long long>(worst));
  EXPECT_FALSE(ToCsiWen(cases[0]).has_value());  // γ = 0.9: not a Wen link
  EXPECT_TRUE(ToCsiWen(cases[1]).has_value());
  // Without a term, the element writes the case back as it was read: qd = Fy, alpha2 = 0.
  const ElastomericBearing plain = ToElastomericBearing(cases[0]);
  EXPECT_EQ(std::pair(plain.qd, plain.alpha2), std::pair(cases[0].Fy, 0.0));
  EXPECT_EQ(ToOpenSeesOriginal(cases[0], ElasticTerm{}).alphaNL, 0.0);
}

TEST(MaterialText, ReadsTheFormsAnalysisFilesUse) {
  const Case tcl = FromOpenSees(ParseOpenSees("uniaxialMaterial BoucWen 1 0.1 25.766 2 8.1162 73.046 1.0 0 0 0"));
  ExpectValues(Of(tcl), Want(reference::kBoucWen[0]), 0, "the default case's line");
  const Case py = FromOpenSees(ParseOpenSees(" ops.uniaxialMaterial( \"BoucWen\", 1, 0.1, 25.766, 2, 8.1162, 73.046, 1.0, "
                                             "0.0, 0.0, 0.0, 1e-8, 20, ) "));
  EXPECT_EQ(std::pair(py.Uy, py.Fy), std::pair(tcl.Uy, tcl.Fy));
  // BoucWenOriginal's optional words take their defaults: η = 1, β = γ = ½.
  const Case original = FromOpenSees(ParseOpenSees("uniaxialMaterial BoucWenOriginal 3 2e5 355 0.02;"));
  EXPECT_EQ(std::tuple(original.n, original.gamma, original.Fy), std::tuple(1.0, 0.5, 355.0));
  const CsiWen link = ParseCsiWen("exp=2, ratio=0.1 ,yield=2.86,k=25.765765765765767");
  EXPECT_EQ(FromCsiWen(link).Uy, 2.86 / 25.765765765765767);
  // The element in two and three dimensions, Tcl's and Python's forms, written back with every word it read
  // and the documented defaults of eta, beta and gamma (1, 0.5, 0.5).
  const std::pair<const char*, const char*> elements[] = {
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
  for (const auto& [text, tclBack] : elements) {
    const OpenSeesMaterial parsed = ParseOpenSees(text);
    const auto* bearing = std::get_if<ElastomericBearing>(&parsed);
    ASSERT_NE(bearing, nullptr) << text;
    EXPECT_EQ(TclLine(*bearing), tclBack);
    EXPECT_EQ(TclLine(std::get<ElastomericBearing>(ParseOpenSees(PythonCall(*bearing)))), tclBack);
  }
}

TEST(MaterialText, RefusesNamingTheFault) {
  const std::pair<const char*, const char*> cases[] = {
      {"uniaxialMaterial BoucWen 1 0.1 $ko 2 8.1 73 1 0 0 0", "word 4 \"$ko\" (ko) is not a number"},
      {"uniaxialMaterial BoucWen 1.5 0.1 25 2 8.1 73 1 0 0 0", "word 2 \"1.5\" (tag) is not a whole number"},
      {"uniaxialMaterial BoucWen 1 0.1 25 2 8.1 73 1 0 0", "BoucWen needs 10 values after its name"},
      {"uniaxialMaterial BoucWen 1 0.1 25 2 8.1 73 1 0 0 0 1e-8 20 5", "word 14 \"5\": BoucWen takes at most 12"},
      {"uniaxialMaterial BoucWen 1 0.1 25 2 8.1 73 1 0.2 0 0", "deltaA = 0.2: degradation has no closed form"},
      {"uniaxialMaterial BoucWen 1 0.1 25 2 8.1 73 1 0 0 0.1", "deltaEta = 0.1"},
      {"uniaxialMaterial BoucWen 1 0.1 25 2 -8 -73 1 0 0 0", "beta + gamma must be positive"},
      {"uniaxialMaterial BoucWen 1 0.1 25 2 80 -7 1 0 0 0", "beta (on the |du/dt| term) must not be negative"},
      {"uniaxialMaterial BoucWen 1 0.1 25 2 8 73 1e999 0 0 0", "(Ao) is not within the range of a double"},
      {"uniaxialMaterial Steel01 1 355 2e5 0.01", "\"Steel01\" is not one Quorix can map"},
      {"ops.uniaxialMaterial(BoucWen, 1)", "the material's name must be a quoted string"},
      {"ops.uniaxialMaterial('BoucWen', 1, 0.1", "closing parenthesis is missing"},
      {"BoucWen 1 0.1 25 2 8.1 73 1 0 0 0", "begins with uniaxialMaterial"},
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
  for (const auto& row : cases) {
    const std::string got = testing::ThrownMessage<Refusal>([&] { Map(ParseOpenSees(row.first)); });
    EXPECT_NE(got.find(row.second), std::string::npos) << row.first << " -> " << got;
  }
  // The case alone cannot take a term; the element cannot hold one that outgrows its strength.
  const std::string term = testing::ThrownMessage<Refusal>(
      [] { FromOpenSees(ParseOpenSees("uniaxialMaterial BoucWenOriginal 1 2e5 355 0.02 0.1")); });
  EXPECT_NE(term.find("the nonlinear elastic term k3*sgn(u)*|u|^mu (k3 = 20000"), std::string::npos) << term;
  EXPECT_THROW(ToElastomericBearing({1.0, 0.5, 0.5, 0.1, 10.0, 0.01}, {2.0 * 10.0 / 1e-4, 2.0}), Refusal);
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

TEST(MaterialTerm, ReportsWhatEachFormCanHold) {
  const Case c{2.0, 0.5, 0.5, 0.1, 2.86, 0.111};
  const std::string with = ReportText(LinesOf(c, ElasticTerm{100.0, 3.0}, 1.0));
  for (const char* line : {"OpenSees: BoucWen: none (it has no nonlinear elastic term",
                           "CSI Wen link: none (it has no nonlinear elastic term",
                           "OpenSees: element elastomericBearingBoucWen 1 $iNode $jNode",
                           "OpenSeesPy: ops.element('elastomericBearingBoucWen', 1, iNode, jNode"}) {
    EXPECT_NE(with.find(line), std::string::npos) << line << " in " << with;
  }
  // Without a term every line is as before, and no element line unless asked for.
  EXPECT_EQ(ReportText(LinesOf(c, ElasticTerm{}, 1.0)), ReportText(LinesOf(c)));
  // The element read keeps its tag, nodes and other directions' words.
  const auto read = std::get<ElastomericBearing>(ParseOpenSees("element elastomericBearingBoucWen 9 3 4 1e4 50 0.1 0 2 -P 5 -Mz 6"));
  EXPECT_NE(ReportText(LinesOf(Map(read).c, ElasticTerm{}, 1.0, 1, &read))
                .find("OpenSees: element elastomericBearingBoucWen 9 3 4 10000 50 0.1 0 2 1 0.5 0.5 -P 5 -Mz 6\n"),
            std::string::npos);
}

// Each program's own equation in its own parameters, integrated by this test's RK4 in u (the law is
// rate-independent) over symmetric cycles: the steady energy and the force at the tip against the closed form
// on the mapped case, the step halved once to show that the difference is the integrator's.
struct Law {
  // dz/du on a branch of direction d = ±1 (the sign of du/dt).
  std::function<double(double z, double d)> slope;
  std::function<double(double u, double z)> force;
};

// Signed power |z|^(p−1)·z and plain |z|^p.
double SignedPower(double z, double p) { return std::copysign(std::pow(std::fabs(z), p), z); }
double AbsPower(double z, double p) { return std::pow(std::fabs(z), p); }

// ∮F du over the last of `cycles` cycles ±umax from u = z = 0, loading first, and the force at umax then;
// `steps` steps a branch.
std::pair<double, double> SteadyEnergyAndTipForce(const Law& law, double umax, int steps, int cycles) {
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
  return {work, law.force(umax, z)};
}

// The branch law 1 − β·d·sgn(z)|z|^η − γ|z|^η over the yield displacement.
std::function<double(double, double)> Slope(double A, double beta, double gamma, double eta, double over) {
  return [=](double z, double d) { return (A - beta * d * SignedPower(z, eta) - gamma * AbsPower(z, eta)) / over; };
}
Law OpenSeesLaw(const OpenSeesBoucWen& m) {
  return {Slope(m.Ao, m.beta, m.gamma, m.n, 1.0),
          [m](double u, double z) { return m.alpha * m.ko * u + (1.0 - m.alpha) * m.ko * z; }};
}
// BoucWenOriginal: z over εy = fy/E, the force qd·z + αL·E·u + k3·sgn(u)·|u|^μ (qd = (1 − αL)·fy without a term).
Law OriginalLaw(const OpenSeesBoucWenOriginal& m) {
  const double epsY = m.fy / m.E, k3 = m.alphaNL * m.E;
  const double qd = m.fy - m.alphaL * m.E * epsY - k3 * std::pow(epsY, m.mu);
  return {Slope(1.0, m.beta, m.gamma, m.eta, epsY),
          [m, qd, k3](double u, double z) { return qd * z + m.alphaL * m.E * u + k3 * SignedPower(u, m.mu); }};
}
// The element's shear law: z over uy = qYield/k0, the force qYield·z + α1·kInit·u + k3·sgn(u)·|u|^μ.
Law BearingLaw(const ElastomericBearing& m) {
  const double qYield = (1.0 - m.alpha1 - m.alpha2 * std::pow(m.qd / m.kInit, m.mu - 1.0)) * m.qd;
  const double uy = qYield / ((1.0 - m.alpha1) * m.kInit), k3 = m.alpha2 * m.kInit;
  return {Slope(1.0, m.beta, m.gamma, m.eta, uy), [m, qYield, k3](double u, double z) {
            return qYield * z + m.alpha1 * m.kInit * u + k3 * SignedPower(u, m.mu);
          }};
}
Law CsiLaw(const CsiWen& m) {
  return {[m](double z, double d) { return m.k / m.yield * (d * z > 0.0 ? 1.0 - AbsPower(z, m.exp) : 1.0); },
          [m](double u, double z) { return m.ratio * m.k * u + (1.0 - m.ratio) * m.yield * z; }};
}
// The general law's γ on the signed term, β on the plain one.
Law GeneralLaw(const Case& g) {
  return {Slope(g.A, g.gamma, g.beta, g.n, g.Uy),
          [g](double u, double z) { return g.alpha * g.Fy / g.Uy * u + (1.0 - g.alpha) * g.Fy * z; }};
}

// The elastic term does no work over the cycle: the energy is the closed form's of the mapped case, and the
// force at the tip is the closed form's Fa with the term's force there.
TEST(MaterialIntegration, EachProgramsEquationGivesTheClosedFormsEnergyAndTipForce) {
  const OpenSeesBoucWen bw1{.alpha = 0.02, .ko = 5e4, .n = 1.0, .gamma = 30.0, .beta = 50.0, .Ao = 2.0};
  const OpenSeesBoucWen bw2{.alpha = 0.2, .ko = 300.0, .n = 0.6, .gamma = -0.4, .beta = 1.2, .Ao = 0.5};
  const OpenSeesBoucWen bw3{.alpha = 0.1, .ko = 25.766, .n = 2.0, .gamma = 8.1162, .beta = 73.046, .Ao = 1.0};
  const OpenSeesBoucWenOriginal o1 = OriginalOf({210e3, 250.0, 0.05, 0.0, 2.0, 2.0, 1.0, 0.5});
  const OpenSeesBoucWenOriginal t1 = OriginalOf({2e5, 355.0, 0.02, 2000.0, 3.0, 1.0, 0.5, 0.5});
  const OpenSeesBoucWenOriginal t2 = OriginalOf({210e3, 250.0, 0.05, 0.5, 1.5, 2.0, 1.0, 0.5});
  const ElastomericBearing b1 = BearingOf({1e4, 50.0, 0.1, 0.3, 2.0, 1.0, 0.5, 0.5});
  const ElastomericBearing b2 = BearingOf({2e3, 20.0, 0.05, 0.02, 0.5, 1.5, 0.8, 0.6});
  const ElastomericBearing b3 = BearingOf({2e3, 20.0, 0.05, -0.02, 0.5, 1.5, 0.8, 0.6});  // a softening spring
  const CsiWen csi{2.0e4, 150.0, 0.08, 1.5};
  const Case general{.n = 1.5, .beta = 1.0, .gamma = 2.0, .alpha = 0.3, .Fy = 1e3, .Uy = 2.5, .A = 0.5};
  const auto plain = [](const Case& c) { return MappedMaterial{c, {}}; };
  const struct {
    std::string label;
    Law law;
    MappedMaterial mapped;
    double umax;
  } cases[] = {
      {"BoucWen Ao=2 n=1 b+g=80, u=0.5 Uy", OpenSeesLaw(bw1), plain(FromOpenSees(bw1)), 0.5 * FromOpenSees(bw1).Uy},
      {"BoucWen Ao=2 n=1 b+g=80, u=40 Uy", OpenSeesLaw(bw1), plain(FromOpenSees(bw1)), 40.0 * FromOpenSees(bw1).Uy},
      {"BoucWen Ao=0.5 n=0.6 b+g=0.8, u=2 Uy", OpenSeesLaw(bw2), plain(FromOpenSees(bw2)), 2.0 * FromOpenSees(bw2).Uy},
      {"BoucWen default line, u=0.111", OpenSeesLaw(bw3), plain(FromOpenSees(bw3)), 0.111},
      {"BoucWenOriginal eta=2 b+g=1.5, u=3 Uy", OriginalLaw(o1), plain(FromOpenSees(o1)), 3.0 * FromOpenSees(o1).Uy},
      {"CSI Wen exp=1.5, d=0.02", CsiLaw(csi), plain(FromCsiWen(csi)), 0.02},
      {"CSI Wen exp=1.5, d=0.3 (saturated)", CsiLaw(csi), plain(FromCsiWen(csi)), 0.3},
      {"general A=0.5 b+g=3 n=1.5, u=1.5", GeneralLaw(general), plain(Normalise(general)), 1.5},
      {"BoucWenOriginal alphaNL=2000 mu=3, u=3 Uy", OriginalLaw(t1), Map(t1), 3.0 * Map(t1).c.Uy},
      {"BoucWenOriginal alphaNL=0.5 mu=1.5 eta=2, u=5 Uy", OriginalLaw(t2), Map(t2), 5.0 * Map(t2).c.Uy},
      {"bearing alpha2=0.3 mu=2, u=0.1 (saturated)", BearingLaw(b1), Map(b1), 0.1},
      {"bearing alpha2=0.02 mu=0.5 eta=1.5, u=0.05", BearingLaw(b2), Map(b2), 0.05},
      {"bearing alpha2=-0.02 mu=0.5 eta=1.5, u=0.05", BearingLaw(b3), Map(b3), 0.05},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    BoucWenCase closed = RecordOf(c.mapped.c, c.umax / c.mapped.c.Uy);
    closed.Complementary = true;
    accurate::Solve(closed);
    AddElasticTerm(closed, c.mapped.elastic);
    double previous = 0.0;
    for (int steps : {4000, 8000}) {
      const auto [energy, tip] = SteadyEnergyAndTipForce(c.law, c.umax, steps, 40);
      const double difference = std::fabs(energy / closed.DE - 1.0), force = std::fabs(tip / closed.Fa - 1.0);
      std::printf("%-48s %6d steps/branch  relative difference %.2e, force at the tip %.2e\n", c.label.c_str(), steps,
                  difference, force);
      EXPECT_LT(difference, 2e-6);
      EXPECT_LT(force, 2e-6);
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
