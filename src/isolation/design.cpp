// The damping rules, the spectrum and the fixed points of the design map.
#include "design.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "decimal.h"
#include "refuse.h"
#include "root.h"

namespace quorix::isolation {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// ASCE/SEI 7-16 and 7-22, Table 17.5-1, the damping coefficient B_M against
// the effective damping in percent of critical.
constexpr std::pair<double, double> kAsce7Table[] = {{2.0, 0.8},  {5.0, 1.0},  {10.0, 1.2}, {20.0, 1.5},
                                                     {30.0, 1.7}, {40.0, 1.9}, {50.0, 2.0}};

double Asce7B(double percent) {
  if (percent <= kAsce7Table[0].first) return kAsce7Table[0].second;
  for (std::size_t i = 1; i < std::size(kAsce7Table); ++i) {
    const auto [x1, y1] = kAsce7Table[i];
    if (percent <= x1) {
      const auto [x0, y0] = kAsce7Table[i - 1];
      return y0 + (y1 - y0) * (percent - x0) / (x1 - x0);
    }
  }
  return 2.0;
}

// The iteration stops once a step changes D by this share of it.
constexpr double kSettled = 1e-12;
constexpr int kMaxIterations = 1000;

}  // namespace

Code CodeNamed(std::string_view name) {
  if (name == "asce7") return Code::Asce7;
  if (name == "aashto") return Code::Aashto;
  if (name == "en1998") return Code::En1998;
  throw Refusal("the code must be asce7, aashto or en1998: " + std::string(name));
}

const char* NameOf(Code code) {
  switch (code) {
    case Code::Asce7: return "asce7";
    case Code::Aashto: return "aashto";
    case Code::En1998: return "en1998";
  }
  return "";
}

const char* SourceOf(Code code) {
  switch (code) {
    case Code::Asce7: return "ASCE/SEI 7-22, Table 17.5-1 (damping coefficient B_M)";
    case Code::Aashto: return "AASHTO guide for the seismic isolation design of bridges (2014), Eq. 7.1-3 (B_L)";
    case Code::En1998: return "EN 1998-1:2004, 3.2.2.2(3), Eq. 3.6 (eta)";
  }
  return "";
}

double DampingCoefficient(Code code, double betaEff) {
  if (!(betaEff >= 0.0) || !std::isfinite(betaEff)) Refuse("the effective damping must be a non-negative number", betaEff);
  switch (code) {
    case Code::Asce7: return Asce7B(100.0 * betaEff);
    case Code::Aashto: return betaEff <= 0.3 ? std::pow(betaEff / 0.05, 0.3) : 1.7;
    case Code::En1998: return 1.0 / std::max(0.55, std::sqrt(10.0 / (5.0 + 100.0 * betaEff)));
  }
  return 1.0;
}

double Spectrum::Sa(double T) const {
  if (table.empty()) return S1 / T;
  if (!(T >= table.front().first && T <= table.back().first)) return std::nan("");
  const auto after = std::lower_bound(table.begin(), table.end(), T,
                                      [](const std::pair<double, double>& row, double t) { return row.first < t; });
  if (after->first == T) return after->second;
  const auto before = after - 1;
  return before->second + (after->second - before->second) * (T - before->first) / (after->first - before->first);
}

double NextDisplacement(const DesignInput& in, const Properties& p, double* TeffOut, double* BOut, double* SaOut) {
  const double Teff = kTwoPi * std::sqrt(in.W / (in.N * p.Keff * in.g));
  const double B = DampingCoefficient(in.code, p.betaEff);
  const double Sa = in.spectrum.Sa(Teff);
  if (TeffOut != nullptr) *TeffOut = Teff;
  if (BOut != nullptr) *BOut = B;
  if (SaOut != nullptr) *SaOut = Sa;
  const double r = Teff / kTwoPi;
  return in.g * Sa * r * r / B;
}

namespace {

void CheckInput(const DesignInput& in) {
  if (!(in.N >= 1.0) || !std::isfinite(in.N)) Refuse("the number of bearings must be at least 1", in.N);
  if (!(in.W > 0.0) || !std::isfinite(in.W)) Refuse("the weight W must be positive", in.W);
  if (!(in.g > 0.0) || !std::isfinite(in.g)) Refuse("g must be positive", in.g);
  if (!(in.Dmin > 0.0) || !std::isfinite(in.Dmin)) Refuse("the range's lower end must be positive", in.Dmin);
  if (!(in.Dmax > in.Dmin) || !std::isfinite(in.Dmax)) Refuse("the range's upper end must exceed its lower end", in.Dmax);
  if (in.spectrum.table.empty()) {
    if (!(in.spectrum.S1 > 0.0) || !std::isfinite(in.spectrum.S1)) Refuse("S1 must be positive", in.spectrum.S1);
    return;
  }
  double previous = 0.0;
  for (const auto& [T, Sa] : in.spectrum.table) {
    if (!(T > previous) || !std::isfinite(T)) Refuse("the spectrum's periods must be positive and rising", T);
    if (!(Sa >= 0.0) || !std::isfinite(Sa)) Refuse("the spectrum's accelerations must be non-negative", Sa);
    previous = T;
  }
}

// ln(map(D)/D): zero at a fixed point; NaN where the spectrum has no value.
double Excess(const DesignInput& in, const PropertiesFn& bearing, double logD) {
  const double D = std::exp(logD);
  return std::log(NextDisplacement(in, bearing(D)) / D);
}

DesignPoint PointAt(const DesignInput& in, const PropertiesFn& bearing, double D) {
  DesignPoint point;
  point.bearing = bearing(D);
  NextDisplacement(in, point.bearing, &point.Teff, &point.B, &point.Sa);
  const double h = 1e-6 * D;
  point.slope = (NextDisplacement(in, bearing(D + h)) - NextDisplacement(in, bearing(D - h))) / (2.0 * h);
  return point;
}

}  // namespace

Design DesignDisplacement(const DesignInput& in, const PropertiesFn& bearing) {
  CheckInput(in);
  Design design;
  // The scan: 24 points a decade, so that two fixed points closer than a
  // tenth of a decade are the only ones it could miss.
  const double lo = std::log(in.Dmin);
  const double hi = std::log(in.Dmax);
  const int steps = std::max(32, static_cast<int>(std::ceil((hi - lo) / std::log(10.0) * 24.0)));
  double x0 = lo;
  double f0 = Excess(in, bearing, x0);
  for (int i = 1; i <= steps; ++i) {
    const double x1 = i == steps ? hi : lo + (hi - lo) * i / steps;
    const double f1 = Excess(in, bearing, x1);
    if (f0 == 0.0) {
      design.points.push_back(PointAt(in, bearing, std::exp(x0)));
    } else if (i == steps && f1 == 0.0) {
      design.points.push_back(PointAt(in, bearing, std::exp(x1)));
    } else if ((f0 < 0.0 && f1 > 0.0) || (f0 > 0.0 && f1 < 0.0)) {
      const double x = BracketedRoot([&](double x) { return Excess(in, bearing, x); }, x0, x1, f0, f1);
      design.points.push_back(PointAt(in, bearing, std::exp(x)));
    }
    x0 = x1;
    f0 = f1;
  }
  // The iteration from the displacement of a 1 s system at 5 % (B = 1).
  const double saAtOne = in.spectrum.table.empty()
                             ? in.spectrum.S1
                             : in.spectrum.Sa(std::clamp(1.0, in.spectrum.table.front().first, in.spectrum.table.back().first));
  design.start = in.g * saAtOne / (kTwoPi * kTwoPi);
  double D = design.start;
  for (design.iterations = 0; design.iterations < kMaxIterations;) {
    if (!(D > 0.0) || !std::isfinite(D)) break;
    const double next = NextDisplacement(in, bearing(D));
    ++design.iterations;
    const bool settled = std::abs(next - D) <= kSettled * D;
    D = next;
    if (settled || !std::isfinite(D)) break;
  }
  design.last = D;
  for (std::size_t i = 0; i < design.points.size(); ++i) {
    if (std::abs(design.points[i].bearing.D - D) <= 1e-8 * D) design.reached = static_cast<int>(i);
  }
  return design;
}

}  // namespace quorix::isolation
