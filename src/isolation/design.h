// The codes' equivalent-linear design displacement of an isolation system:
// N bearings alike, each with its loop's Keff(D) and βeff(D), carrying the
// seismic weight W on a spectrum at 5 % damping reduced by the code's
// damping coefficient B(βeff):
//   Teff = 2π·sqrt(W/(N·Keff(D)·g)),   D = g·Sa(Teff)·(Teff/2π)²/B(βeff),
// Sa in g; with the one-second acceleration S1 of the constant-velocity
// branch, Sa(T) = S1/T and D = g·S1·Teff/(4π²·B).
//
// The map D → D may have more than one fixed point (βeff rises, then falls
// with D): every one in the range is found, by a scan of ln(map(D)/D) on a
// logarithmic grid and a bracketed refinement of each change of sign, and
// the plain iteration D ← map(D) is run from the usual start (the
// displacement of a 1 s, 5 % system: g·Sa(1 s)·(1 s/2π)², some 10·S1 inches)
// to say which of them it reaches.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "isolation.h"

namespace quorix::isolation {

enum class Code {
  Asce7,   // ASCE/SEI 7, isolated buildings: B from its table, linear between rows
  Aashto,  // AASHTO guide for the seismic isolation design of bridges: (β/0.05)^0.3, capped
  En1998,  // EN 1998-1: η = sqrt(10/(5 + ξ)) ≥ 0.55, B = 1/η
};

// "asce7", "aashto", "en1998"; Refusal for another name.
Code CodeNamed(std::string_view name);
const char* NameOf(Code code);
// Where the code's damping rule is written.
const char* SourceOf(Code code);

// The damping coefficient dividing the 5 % spectrum at the effective
// damping ratio betaEff (a fraction: 0.05 for 5 %). Refusal for a negative
// or non-finite betaEff.
double DampingCoefficient(Code code, double betaEff);

// The 5 %-damped spectrum, accelerations in g: S1 alone (Sa = S1/T), or a
// table of (T, Sa) with T strictly rising, read linearly between its rows.
struct Spectrum {
  double S1 = 0.0;
  std::vector<std::pair<double, double>> table;
  // Sa(T) in g; NaN outside the table's periods.
  double Sa(double T) const;
};

struct DesignInput {
  double N = 1.0;    // bearings
  double W = 0.0;    // seismic weight (force)
  double g = 0.0;    // the acceleration of gravity in the user's length per s²
  Spectrum spectrum;
  Code code = Code::Asce7;
  double Dmin = 0.0;  // the range searched
  double Dmax = 0.0;
};

// One fixed point D = map(D), with the bearing's properties there.
struct DesignPoint {
  Properties bearing;  // one bearing
  double Teff = 0.0;
  double B = 0.0;
  double Sa = 0.0;      // in g, at Teff
  double slope = 0.0;   // d map/dD there: |slope| < 1 where the iteration is drawn to it
};

struct Design {
  std::vector<DesignPoint> points;  // every fixed point in [Dmin, Dmax], D rising
  double start = 0.0;               // the iteration's first D
  int iterations = 0;               // steps taken
  int reached = -1;                 // index into points, −1 when the iteration did not settle on one
  double last = 0.0;                // the iteration's last D
};

using PropertiesFn = std::function<Properties(double D)>;

// map(D) for one bearing's properties p: the next D of the iteration.
double NextDisplacement(const DesignInput& in, const Properties& p, double* Teff = nullptr, double* B = nullptr,
                        double* Sa = nullptr);

// Every fixed point and the iteration, for a bearing's properties function
// (PropertiesAt of a case, or BilinearPropertiesAt). Refusal for an input
// out of range (W, g, N, the range, the spectrum).
Design DesignDisplacement(const DesignInput& in, const PropertiesFn& bearing);

}  // namespace quorix::isolation
