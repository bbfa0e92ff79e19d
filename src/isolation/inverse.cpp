// The inverse design's closed forms and bracketed solves.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "decimal.h"
#include "isolation.h"
#include "isolation_inverse.h"
#include "refuse.h"
#include "root.h"

namespace quorix::isolation {

namespace {

// The loop's shape at X for unit Fh and no elastic share: Za, z(0) and the
// area ∮z dx (the EDC of Fh = Uy = 1).
struct Shape {
  double Za, z0, area;
};

Shape ShapeAt(double n, double gamma, double X) {
  const Properties p = PropertiesAt(NormalisedCase(n, gamma, 0.0, 1.0, 1.0), X);
  return {p.Za, p.z0, p.EDC};
}

std::string Range(const char* name, double lo, double hi) {
  return std::string(name) + " from " + decimal::ShortestText(lo) + " to " + decimal::ShortestText(hi);
}

Case WithElasticAndHysteretic(const InverseInput& in, double Uy, double elastic, double Fh) {
  const double Fy = elastic + Fh;
  return NormalisedCase(in.n, in.gamma, elastic / Fy, Fy, Uy);
}

Case UyFixed(const InverseInput& in) {
  const double Uy = in.fixed;
  const double X = in.D / Uy;
  const Shape s = ShapeAt(in.n, in.gamma, X);
  if (in.target == Target::KeffBeta) {
    const double Fh = 2.0 * std::numbers::pi * in.second * in.first * in.D * in.D / (Uy * s.area);
    const double elastic = (in.first * in.D - Fh * s.Za) / X;
    if (!(Fh > 0.0) || !(elastic >= 0.0)) {
      throw Refusal("no model with n, gamma and Uy fixed has betaEff " + decimal::ShortestText(in.second) +
                    " at D = " + decimal::ShortestText(in.D) + ": it reaches " +
                    Range("betaEff", 0.0, s.area / (2.0 * std::numbers::pi * s.Za * X)) + " (alpha = 0)");
    }
    return WithElasticAndHysteretic(in, Uy, elastic, Fh);
  }
  const double Fh = in.first / s.z0;
  const double elastic = (in.second * in.D - Fh * (s.Za - s.z0)) / X;
  if (!(Fh > 0.0) || !(elastic >= 0.0)) {
    throw Refusal("no model with n, gamma and Uy fixed has Kd " + decimal::ShortestText(in.second) + " with Qd " +
                  decimal::ShortestText(in.first) + " at D = " + decimal::ShortestText(in.D) + ": Kd must be at least " +
                  decimal::ShortestText(Fh * (s.Za - s.z0) / in.D));
  }
  return WithElasticAndHysteretic(in, Uy, elastic, Fh);
}

// βeff, or Qd/(Kd·D), at X for the fixed α: the quantity that fixes X.
double RatioAt(const InverseInput& in, double X) {
  const double a = in.fixed;
  const Shape s = ShapeAt(in.n, in.gamma, X);
  if (in.target == Target::KeffBeta) return (1.0 - a) * s.area / (2.0 * std::numbers::pi * X * (a * X + (1.0 - a) * s.Za));
  return (1.0 - a) * s.z0 / (a * X + (1.0 - a) * (s.Za - s.z0));
}

// The extremum of f inside [a, c] (f(b) beyond f(a) and f(c) in the
// direction sign), by golden-section search: where the scan's samples turn,
// two roots may lie closer together than the scan's step.
template <class F>
double Extremum(const F& f, double a, double c, double sign) {
  const double r = 0.5 * (std::sqrt(5.0) - 1.0);
  double x1 = c - r * (c - a), x2 = a + r * (c - a);
  double f1 = sign * f(x1), f2 = sign * f(x2);
  for (int i = 0; i < 60 && c - a > 1e-13 * std::abs(c); ++i) {
    if (f1 > f2) {
      c = x2, x2 = x1, f2 = f1, x1 = c - r * (c - a), f1 = sign * f(x1);
    } else {
      a = x1, x1 = x2, f1 = f2, x2 = a + r * (c - a), f2 = sign * f(x2);
    }
  }
  return 0.5 * (a + c);
}

std::vector<Case> AlphaFixed(const InverseInput& in) {
  const double a = in.fixed;
  const double wanted = in.target == Target::KeffBeta ? in.second : in.first / (in.second * in.D);
  const auto f = [&](double t) { return RatioAt(in, std::exp(t)) - wanted; };
  const double lo = std::log(1e-3), hi = std::log(1e4);
  constexpr int kSteps = 112;  // 16 a decade
  // The samples, with every turning point's extremum put in between its
  // neighbours, so that each root has a change of sign beside it.
  std::vector<std::pair<double, double>> samples;
  for (int i = 0; i <= kSteps; ++i) {
    const double x = lo + (hi - lo) * i / kSteps;
    samples.emplace_back(x, f(x));
  }
  std::vector<std::pair<double, double>> points;
  double least = samples[0].second + wanted, most = least;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    points.push_back(samples[i]);
    if (i == 0 || i + 1 == samples.size()) continue;
    const double before = samples[i - 1].second, here = samples[i].second, after = samples[i + 1].second;
    if ((here - before) * (after - here) < 0.0) {
      const double sign = here > before ? 1.0 : -1.0;
      const double x = Extremum(f, samples[i - 1].first, samples[i + 1].first, sign);
      points.emplace_back(x, f(x));
      std::sort(points.end() - 2, points.end());
    }
  }
  std::vector<Case> found;
  for (std::size_t i = 0; i < points.size(); ++i) {
    least = std::min(least, points[i].second + wanted), most = std::max(most, points[i].second + wanted);
    if (i == 0) continue;
    const auto [x0, f0] = points[i - 1];
    const auto [x1, f1] = points[i];
    if ((f0 < 0.0) != (f1 < 0.0) || f1 == 0.0) {
      const double X = std::exp(BracketedRoot(f, x0, x1, f0, f1));
      const Shape s = ShapeAt(in.n, in.gamma, X);
      const double Fy = in.target == Target::KeffBeta ? in.first * in.D / (a * X + (1.0 - a) * s.Za)
                                                      : in.first / ((1.0 - a) * s.z0);
      found.push_back(NormalisedCase(in.n, in.gamma, a, Fy, in.D / X));
    }
  }
  if (found.empty()) {
    const char* name = in.target == Target::KeffBeta ? "betaEff" : "Qd/(Kd D)";
    throw Refusal(std::string("no model with n, gamma and alpha fixed reaches ") + name + " " +
                  decimal::ShortestText(wanted) + ": it reaches " + Range(name, least, most) +
                  " for D/Uy from 0.001 to 10000");
  }
  return found;
}

}  // namespace

std::vector<Case> InverseDesign(const InverseInput& in) {
  if (!(in.D > 0.0) || !std::isfinite(in.D)) Refuse("D must be positive and finite", in.D);
  if (!(in.first > 0.0) || !std::isfinite(in.first)) Refuse("the target's first value must be positive", in.first);
  if (!(in.second > 0.0) || !std::isfinite(in.second)) Refuse("the target's second value must be positive", in.second);
  if (in.fixUy) return {UyFixed(in)};
  if (!(in.fixed >= 0.0 && in.fixed < 1.0)) Refuse("alpha must lie in [0, 1)", in.fixed);
  return AlphaFixed(in);
}

}  // namespace quorix::isolation
