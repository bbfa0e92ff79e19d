// The mapping of analysis programs' materials to the normalised case against mpmath's values
// (material_reference.h), the round trips through each program's text, and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>

#include "checks.h"
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

// Case → program text → case: each double exact in the text, the values a program keeps (ko, β·s, γ·s,
// E = Fy/Uy, k) cost at most one rounding.
TEST(MaterialMapping, RoundTripsThroughEachProgramsText) {
  const Case cases[] = {{2.0, 0.1, 0.9, 0.1, 2.86, 0.111},
                        {1.0, 0.5, 0.5, 0.0, 1e3, 2e-3},
                        {0.6, -0.25, 1.25, 0.37, 7.5, 13.0},
                        {3.5, 0.7, 0.3, 0.02, 4.2e5, 0.031}};
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

}  // namespace
}  // namespace quorix::material
