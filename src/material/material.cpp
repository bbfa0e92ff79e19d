#include "material.h"

#include <cmath>
#include <string_view>

#include "decimal.h"
#include "domain.h"
#include "double_double.h"
#include "numbertext.h"
#include "refuse.h"

namespace quorix::material {

namespace {

using exact::DoubleDouble;
using exact::Multiply;
using exact::Power;
using exact::TwoProduct;
using exact::TwoSum;
namespace dd = exact;

void RequirePositive(std::string_view name, double value) {
  RequireFinite(name, value);
  if (!(value > 0.0)) Refuse(std::string(name) + " must be positive", value);
}
void RequireShare(std::string_view name, double value) {
  RequireFinite(name, value);
  if (!(value >= 0.0 && value <= 1.0)) Refuse(std::string(name) + " must lie in [0, 1]", value);
}

// A value mapped from a nonzero one: neither overflowed nor underflowed.
double Nonzero(double value, std::string_view what) {
  if (!std::isfinite(value) || value == 0.0) {
    throw Refusal("the mapped " + std::string(what) + " lies beyond the range of the doubles");
  }
  return value;
}

// The normalisation in double-double arithmetic, the caller having checked
// the domain. Uy may carry a second double (fy/E exactly), since Uy' is its
// only use; Fy' = Fy·(α + (1 − α)·A)·z_u/A does not depend on Uy.
Case NormaliseChecked(double A, double wenBeta, double wenGamma, double n, double alpha, double Fy,
                      const DoubleDouble& Uy) {
  const dd::Sum2 sum = TwoSum(wenBeta, wenGamma);
  const DoubleDouble s = DoubleDouble::Normalised(sum.sum, sum.error);
  const DoubleDouble zu = Power(dd::Divide(A, s), dd::Divide(1.0, DoubleDouble{n, 0.0}));
  const DoubleDouble D = dd::Add({alpha, 0.0}, Multiply(DoubleDouble::Difference(1.0, alpha), A));
  Case c;
  c.n = n;
  c.beta = dd::Divide(DoubleDouble{wenBeta, 0.0}, s).Value();
  c.gamma = dd::Divide(DoubleDouble{wenGamma, 0.0}, s).Value();
  c.alpha = alpha == 0.0 ? 0.0 : dd::Divide(alpha, D).Value();
  c.Fy = Nonzero(dd::Divide(Multiply(Multiply(zu, Fy), D), A).Value(), "Fy");
  c.Uy = Nonzero(dd::Divide(Multiply(zu, Uy), A).Value(), "Uy");
  return c;
}

// A Bouc-Wen law with the |u̇| coefficient `absTerm` and the u̇ coefficient
// `rateTerm`: their sum must be positive (else z grows without bound) and
// absTerm ≥ 0 (else the unloading branch 1 − (rate − abs)·zⁿ reaches zero
// before saturation and the loop does not close).
void RequireShape(std::string_view absName, double absTerm, std::string_view rateName, double rateTerm) {
  RequireFinite(absName, absTerm);
  RequireFinite(rateName, rateTerm);
  const dd::Sum2 s = TwoSum(absTerm, rateTerm);
  if (!(s.sum > 0.0 || (s.sum == 0.0 && s.error > 0.0))) {
    Refuse(std::string(absName) + " + " + std::string(rateName) + " must be positive", s.sum);
  }
  if (absTerm < 0.0) {
    Refuse(std::string(absName) + " (on the |du/dt| term) must not be negative: the loop would not close", absTerm);
  }
}

void RequireZero(std::string_view name, double value, std::string_view why) {
  RequireFinite(name, value);
  if (value != 0.0)
    throw Refusal(std::string(name) + " = " + decimal::ShortestText(value) + ": " + std::string(why));
}

}  // namespace

Case Normalise(const Case& g) {
  RequirePositive("A", g.A);
  RequireShape("gamma", g.gamma, "beta", g.beta);
  RequirePositive("n", g.n);
  RequireShare("alpha", g.alpha);
  RequirePositive("Fy", g.Fy);
  RequirePositive("Uy", g.Uy);
  return NormaliseChecked(g.A, g.beta, g.gamma, g.n, g.alpha, g.Fy, {g.Uy, 0.0});
}

Case FromOpenSees(const OpenSeesBoucWen& m) {
  const char* degradation = "degradation has no closed form; only deltaA = deltaNu = deltaEta = 0 is taken";
  RequireZero("deltaA", m.deltaA, degradation);
  RequireZero("deltaNu", m.deltaNu, degradation);
  RequireZero("deltaEta", m.deltaEta, degradation);
  RequireShare("alpha", m.alpha);
  RequirePositive("ko", m.ko);
  RequirePositive("n", m.n);
  RequireShape("beta", m.beta, "gamma", m.gamma);
  RequirePositive("Ao", m.Ao);
  // z in displacement units: Quorix's general law with Uy = 1 and Fy = ko.
  return NormaliseChecked(m.Ao, m.gamma, m.beta, m.n, m.alpha, m.ko, {1.0, 0.0});
}

Case FromOpenSees(const OpenSeesBoucWenOriginal& m) {
  RequireZero("alphaNL", m.alphaNL, "the nonlinear elastic term has no closed form; only alphaNL = 0 is taken");
  RequirePositive("E", m.E);
  RequirePositive("fy", m.fy);
  RequireShare("alphaL", m.alphaL);
  RequirePositive("eta", m.eta);
  RequireShape("beta", m.beta, "gamma", m.gamma);
  // z dimensionless, A = 1: Quorix's general law with Fy = fy, Uy = fy/E.
  return NormaliseChecked(1.0, m.gamma, m.beta, m.eta, m.alphaL, m.fy, dd::Divide(m.fy, DoubleDouble{m.E, 0.0}));
}

Case FromCsiWen(const CsiWen& m) {
  RequirePositive("k", m.k);
  RequirePositive("yield", m.yield);
  RequireShare("ratio", m.ratio);
  RequirePositive("exp", m.exp);
  Case c;
  c.n = m.exp;
  c.beta = 0.5;
  c.gamma = 0.5;
  c.alpha = m.ratio;
  c.Fy = m.yield;
  c.Uy = Nonzero(m.yield / m.k, "Uy");
  return c;
}

namespace {
void RequireCase(const Case& c) {
  if (c.A != 1.0) Refuse("A must be 1 here (normalise the case first)", c.A);
  RequireShape("gamma", c.gamma, "beta", c.beta);
  RequireDomain(c);
}
}  // namespace

OpenSeesBoucWen ToOpenSees(const Case& c, double Ao, long tag) {
  RequireCase(c);
  RequirePositive("Ao", Ao);
  // z_u = Ao·Uy in displacement units and s = Ao/z_uⁿ, so that
  // (Ao/s)^(1/n)/Ao = Uy; α_o = α·Ao/(1 − α + α·Ao) and
  // ko = Fy·(1 − α + α·Ao)/(Uy·Ao) keep the initial stiffness and the
  // hysteretic share.
  const dd::Sum2 zu = TwoProduct(Ao, c.Uy);
  const DoubleDouble s = Multiply(Power(DoubleDouble::Normalised(zu.sum, zu.error), {-c.n, 0.0}), Ao);
  const dd::Sum2 alphaAo = TwoProduct(c.alpha, Ao);
  const DoubleDouble numerator = DoubleDouble::Normalised(alphaAo.sum, alphaAo.error);
  const DoubleDouble denominator = dd::Add(DoubleDouble::Difference(1.0, c.alpha), numerator);
  OpenSeesBoucWen m;
  m.tag = tag;
  m.alpha = c.alpha == 0.0 ? 0.0 : dd::Divide(numerator, denominator).Value();
  m.ko = Nonzero(dd::Divide(Multiply(denominator, c.Fy), DoubleDouble::Normalised(zu.sum, zu.error)).Value(), "ko");
  m.n = c.n;
  m.beta = c.gamma == 0.0 ? 0.0 : Nonzero(Multiply(s, c.gamma).Value(), "beta");
  m.gamma = c.beta == 0.0 ? 0.0 : Nonzero(Multiply(s, c.beta).Value(), "gamma");
  m.Ao = Ao;
  return m;
}

OpenSeesBoucWenOriginal ToOpenSeesOriginal(const Case& c, long tag) {
  RequireCase(c);
  OpenSeesBoucWenOriginal m;
  m.tag = tag;
  m.E = Nonzero(c.Fy / c.Uy, "E");
  m.fy = c.Fy;
  m.alphaL = c.alpha;
  m.eta = c.n;
  m.beta = c.gamma;
  m.gamma = c.beta;
  return m;
}

std::optional<CsiWen> ToCsiWen(const Case& c) {
  RequireCase(c);
  const std::string half = FormatPlainNumber(0.5);
  if (FormatPlainNumber(c.gamma) != half || FormatPlainNumber(c.beta) != half) return std::nullopt;
  return CsiWen{Nonzero(c.Fy / c.Uy, "k"), c.Fy, c.alpha, c.n};
}

bool SumDiffersFromOne(double beta, double gamma) {
  // The common case costs no text: β = 1 − γ to the double.
  if (beta + gamma == 1.0) return false;
  return FormatPlainNumber(beta) != FormatPlainNumber(1.0 - gamma);
}

}  // namespace quorix::material
