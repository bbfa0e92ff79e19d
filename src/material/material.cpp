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

// The general law with A = 1 (so α' = α, Fy' = z_u·Fy, Uy' = z_u·Uy), its
// share, force and displacement in double-double: the laws whose hysteretic
// strength an elastic term lowers. Rounded once at the end.
Case NormaliseUnitA(double wenBeta, double wenGamma, double n, const DoubleDouble& alpha, const DoubleDouble& Fy,
                    const DoubleDouble& Uy) {
  const dd::Sum2 sum = TwoSum(wenBeta, wenGamma);
  const DoubleDouble s = DoubleDouble::Normalised(sum.sum, sum.error);
  const DoubleDouble zu = Power(dd::Divide(1.0, s), dd::Divide(1.0, DoubleDouble{n, 0.0}));
  Case c;
  c.n = n;
  c.beta = dd::Divide(DoubleDouble{wenBeta, 0.0}, s).Value();
  c.gamma = dd::Divide(DoubleDouble{wenGamma, 0.0}, s).Value();
  c.alpha = alpha.Value();
  c.Fy = Nonzero(Multiply(zu, Fy).Value(), "Fy");
  c.Uy = Nonzero(Multiply(zu, Uy).Value(), "Uy");
  return c;
}

DoubleDouble Product(double a, double b) {
  const dd::Sum2 p = TwoProduct(a, b);
  return DoubleDouble::Normalised(p.sum, p.error);
}

DoubleDouble Subtract(const DoubleDouble& a, const DoubleDouble& b) { return dd::Add(a, dd::Negated(b)); }

// |x|^p of a positive double-double, p any finite double.
DoubleDouble PowerOf(const DoubleDouble& x, double p) { return Power(x, DoubleDouble{p, 0.0}); }

// The exponent of an elastic term whose coefficient is not zero.
void RequireTermExponent(std::string_view coefficient, double k, std::string_view exponent, double mu) {
  RequireFinite(coefficient, k);
  RequireFinite(exponent, mu);
  if (k != 0.0 && !(mu > 0.0)) {
    Refuse(std::string(exponent) + " (the exponent of the elastic term " + std::string(coefficient) +
               ") must be positive",
           mu);
  }
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
  RequireZero("alphaNL", m.alphaNL, "the nonlinear elastic term travels beside the case (Map), not in it");
  RequirePositive("E", m.E);
  RequirePositive("fy", m.fy);
  RequireShare("alphaL", m.alphaL);
  RequirePositive("eta", m.eta);
  RequireShape("beta", m.beta, "gamma", m.gamma);
  // z dimensionless, A = 1: Quorix's general law with Fy = fy, Uy = fy/E.
  return NormaliseChecked(1.0, m.gamma, m.beta, m.eta, m.alphaL, m.fy, dd::Divide(m.fy, DoubleDouble{m.E, 0.0}));
}

MappedMaterial Map(const OpenSeesBoucWenOriginal& m) {
  if (m.alphaNL == 0.0) return {FromOpenSees(m), {}};
  RequireTermExponent("alphaNL", m.alphaNL, "mu", m.mu);
  RequirePositive("E", m.E);
  RequirePositive("fy", m.fy);
  RequireShare("alphaL", m.alphaL);
  RequirePositive("eta", m.eta);
  RequireShape("beta", m.beta, "gamma", m.gamma);
  // The general law with A = 1, Uy = εy and the linear stiffness αL·E kept:
  // Fy = αL·fy + qd = fy − k3·εy^μ, α = αL·fy/Fy.
  const DoubleDouble epsY = dd::Divide(m.fy, DoubleDouble{m.E, 0.0});
  const DoubleDouble k3 = Product(m.alphaNL, m.E);
  const DoubleDouble Fy = Subtract({m.fy, 0.0}, Multiply(k3, PowerOf(epsY, m.mu)));
  const DoubleDouble qd = Subtract(Fy, Product(m.alphaL, m.fy));
  if (!(qd.hi > 0.0)) {
    throw Refusal("alphaNL = " + decimal::ShortestText(m.alphaNL) +
                  ": the hysteretic strength fy - alphaL*fy - alphaNL*E*(fy/E)^mu must be positive, not " +
                  decimal::ShortestText(qd.Value()));
  }
  const DoubleDouble alpha = dd::Divide(Product(m.alphaL, m.fy), Fy);
  return {NormaliseUnitA(m.gamma, m.beta, m.eta, alpha, Fy, epsY), {Nonzero(k3.Value(), "k3"), m.mu}};
}

MappedMaterial Map(const ElastomericBearing& m) {
  RequirePositive("kInit", m.kInit);
  RequirePositive("qd", m.qd);
  RequireFinite("alpha1", m.alpha1);
  if (!(m.alpha1 >= 0.0 && m.alpha1 < 1.0)) Refuse("alpha1 must lie in [0, 1)", m.alpha1);
  RequireTermExponent("alpha2", m.alpha2, "mu", m.mu);
  RequirePositive("eta", m.eta);
  RequireShape("beta", m.beta, "gamma", m.gamma);
  // The general law with A = 1: α = α1, Fy = qYield/(1 − α1), Uy = Fy/kInit.
  const DoubleDouble oneLess = DoubleDouble::Difference(1.0, m.alpha1);
  DoubleDouble share = oneLess;  // 1 − α1 − α2·(qd/kInit)^(μ−1)
  if (m.alpha2 != 0.0) {
    const DoubleDouble ratio = dd::Divide(DoubleDouble{m.qd, 0.0}, m.kInit);
    share = Subtract(share, Multiply(PowerOf(ratio, m.mu - 1.0), m.alpha2));
  }
  const DoubleDouble qYield = Multiply(share, m.qd);
  if (!(qYield.hi > 0.0)) {
    throw Refusal("alpha2 = " + decimal::ShortestText(m.alpha2) +
                  ": the hysteretic strength (1 - alpha1 - alpha2*(qd/kInit)^(mu-1))*qd must be positive, not " +
                  decimal::ShortestText(qYield.Value()));
  }
  const DoubleDouble Fy = m.alpha2 == 0.0 ? DoubleDouble{m.qd, 0.0} : dd::Divide(qYield, oneLess);
  const DoubleDouble Uy = dd::Divide(Fy, m.kInit);
  ElasticTerm term;
  if (m.alpha2 != 0.0) term = {Nonzero(Product(m.alpha2, m.kInit).Value(), "k3"), m.mu};
  return {NormaliseUnitA(m.gamma, m.beta, m.eta, {m.alpha1, 0.0}, Fy, Uy), term};
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

OpenSeesBoucWenOriginal ToOpenSeesOriginal(const Case& c, const ElasticTerm& term, long tag) {
  if (!term.Active()) return ToOpenSeesOriginal(c, tag);
  RequireCase(c);
  RequireTermExponent("k3", term.k3, "mu", term.mu);
  // z_u = 1 (β + γ = 1): εy = Uy, fy = Fy + k3·Uy^μ, E = fy/Uy, αL = α·Fy/fy.
  const DoubleDouble fy = dd::Add({c.Fy, 0.0}, Multiply(PowerOf({c.Uy, 0.0}, term.mu), term.k3));
  if (!(fy.hi > 0.0)) throw Refusal("no BoucWenOriginal has this case with its elastic term: fy would not be positive");
  const DoubleDouble E = dd::Divide(fy, c.Uy);
  OpenSeesBoucWenOriginal m;
  m.tag = tag;
  m.E = Nonzero(E.Value(), "E");
  m.fy = fy.Value();
  m.alphaL = c.alpha == 0.0 ? 0.0 : dd::Divide(Product(c.alpha, c.Fy), fy).Value();
  m.alphaNL = Nonzero(dd::Divide(DoubleDouble{term.k3, 0.0}, E).Value(), "alphaNL");
  m.mu = term.mu;
  m.eta = c.n;
  m.beta = c.gamma;
  m.gamma = c.beta;
  return m;
}

ElastomericBearing ToElastomericBearing(const Case& c, const ElasticTerm& term, long tag) {
  RequireCase(c);
  if (!(c.alpha < 1.0)) Refuse("alpha must be below 1 for the element (its alpha1)", c.alpha);
  ElastomericBearing m;
  m.tag = tag;
  const DoubleDouble kInit = dd::Divide(DoubleDouble{c.Fy, 0.0}, c.Uy);
  m.kInit = Nonzero(kInit.Value(), "kInit");
  m.alpha1 = c.alpha;
  m.eta = c.n;
  m.beta = c.gamma;
  m.gamma = c.beta;
  m.qd = c.Fy;
  if (!term.Active()) return m;
  RequireTermExponent("k3", term.k3, "mu", term.mu);
  m.alpha2 = Nonzero(dd::Divide(DoubleDouble{term.k3, 0.0}, kInit).Value(), "alpha2");
  m.mu = term.mu;
  // x = qd/Fy solves g(x) = (1 − α1)·(x − 1) − t·x^μ = 0, t = k3·Uy^μ/Fy the
  // term's force at Uy over Fy; Newton from x = 1 follows the root that
  // k3 → 0 takes to 1, and there is none once g' = (1 − α1) − t·μ·x^(μ−1)
  // reaches 0 first.
  const double t = Multiply(PowerOf({c.Uy, 0.0}, term.mu), term.k3).Value() / c.Fy;
  const double share = 1.0 - c.alpha;
  double x = 1.0;
  for (int i = 0; i < 200; ++i) {
    const double slope = share - t * term.mu * PowerOf({x, 0.0}, term.mu - 1.0).Value();
    const double step = (share * (x - 1.0) - t * PowerOf({x, 0.0}, term.mu).Value()) / slope;
    if (!(slope > 0.0) || !std::isfinite(step) || !(x - step > 0.0)) break;
    x -= step;
    if (std::fabs(step) <= 4.5e-16 * x) {
      m.qd = Nonzero(x * c.Fy, "qd");
      return m;
    }
  }
  throw Refusal("no elastomericBearingBoucWen has this case with alpha2 = " + decimal::ShortestText(m.alpha2) +
                ": its elastic term outgrows the hysteretic strength qd");
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
