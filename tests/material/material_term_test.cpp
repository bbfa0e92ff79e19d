// The materials with a nonlinear elastic term (BoucWenOriginal's alphaNL, the elastomericBearingBoucWen
// element's alpha2): their mapping against mpmath's values from the programs' own equations
// (make_material_reference.py), round trips through their text, the element's words, and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <variant>

#include "checks.h"
#include "material.h"
#include "material_reference.h"
#include "material_text.h"

namespace quorix::material {
namespace {

using quorix::testing::Ulps;

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
  const Case cases[] = {{2.0, 0.1, 0.9, 0.1, 2.86, 0.111},
                        {1.0, 0.5, 0.5, 0.0, 1e3, 2e-3},
                        {0.6, -0.25, 1.25, 0.37, 7.5, 13.0},
                        {3.5, 0.7, 0.3, 0.02, 4.2e5, 0.031}};
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

}  // namespace
}  // namespace quorix::material
