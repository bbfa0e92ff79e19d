// The accurate evaluation path: the same nine results as SolveEnergy, and the
// special functions behind them, as the exact mathematical values of their
// formulas on the input doubles, rounded to a double with an error of a few
// units in the last place.
//
// It shares no numerics with the specified path (whose truncated digamma
// series and short gamma approximation it does not reproduce) and keeps that
// path's model conventions: A = 1, w = β − γ, the saturation rule at
// ZaUpperBound and the Direct and Complementary formula sets. Inputs outside
// the model's domain are refused with Refusal instead of being answered
// with NaN.
//
// All functions are thread-safe: the only state is a per-thread cache of
// coefficient tables.
#pragma once

#include <stdexcept>
#include <string>

#include "bouc_wen_case.h"
#include "refusal.h"

namespace quorix::accurate {

// ψ(x), the logarithmic derivative of Γ. Throws Refusal for a non-finite
// x and at the poles x = 0, −1, −2, … For x > 0 the error is a few ulps,
// also next to the zero at x0 ≈ 1.4616; for x < 0 the value comes from the
// reflection formula and carries an absolute error of a few ulps of
// ψ(1 − x) + π·cot(πx)'s larger term, which is relative only away from the
// zeros of ψ there.
double Digamma(double x);

// ln|Γ(x)|. Throws Refusal for a non-finite x and at the poles
// x = 0, −1, −2, … Returns +∞ where the value overflows (x above about 2.5e305).
// A double-double value rounded once: within about half an ulp, also next
// to the zeros at 1, 2 and below −2, with the same bits on every machine
// (exact operations only, no function of the C library).
double LogGamma(double x);

// Γ(x). Throws Refusal for a non-finite x and at the poles
// x = 0, −1, −2, … Overflows to ±∞ above x ≈ 171.6 and underflows to ±0 far
// below zero, as the double format demands. Within about half an ulp (one
// subnormal ulp among the subnormals), the same bits on every machine.
double Gamma(double x);

// The Gauss function F(a, b; c; z) for the family the model needs:
// F(1, b; 1 + b; z) with b > 0 and z < 1 (= b·Σ zᵏ/(k + b) for |z| < 1, and
// its analytic continuation below −1), and the same with a and b swapped.
// c must be the double nearest 1 + b; the value is that of c = 1 + b exactly.
// Anything else, a non-finite argument included, throws Refusal. Accurate
// to a few ulps in every region: z near 0, z → 1⁻, z = −1 and z → −∞.
double Hyp2F1(double a, double b, double c, double z);

// The integral of the loop's branches, G_y(s) = ∫₀ˢ dz / (1 − y·zⁿ)
// = s·F(1/n, 1; 1 + 1/n; y·sⁿ), for the closed-form loop in exact
// mathematics. Returns false (value unspecified) where the family's
// function refuses its arguments or the value is not finite; never throws.
// Its signature is the solver's BranchIntegralFn.
bool BranchIntegral(double y, double s, double n, double& value) noexcept;

// The normalised displacement amplitude whose hysteretic variable peaks at x:
//   ½·( ∫₀ˣ dz / (1 − (β − γ)·zⁿ) + ∫₀ˣ dz / (1 − zⁿ) ),
// with β − γ formed exactly from the two doubles. Requires finite arguments,
// n > 0, β − γ ≤ 1 and 0 ≤ x ≤ 1 (Refusal otherwise); x = 1 gives +∞,
// the integral's divergence.
double Amplitude(double x, double n, double beta, double gamma);

// Reads the record's seven inputs and its option, writes its nine results:
// the exact values of the model on the input doubles, each rounded with an
// error of a few ulps.
//   - Za is the double nearest the root Za* of Amplitude(Za*) = UmaxOverUy
//     (as far as the amplitude's own few ulps allow: within about 1.5 ulp),
//     or exactly 1 when UmaxOverUy exceeds the amplitude at ZaUpperBound;
//     the hypergeometric arguments are then taken at ZaUpperBound, as in
//     SolveEnergy. The other results are those at Za* itself, not at its
//     rounding (which near saturation would cost up to 10⁻⁶ relative).
//   - Kcd, Kda follow the Direct or the Complementary formula set.
//   - The energy is evaluated without the cancellation of its formulas: for
//     Za < 1 both sets give DE/(Fh·Uy) = 2·∫₀^Za z·(1/(1 − zⁿ) − 1/(1 − w·zⁿ)) dz,
//     whose integrand carries a factor z^(n+1), and that integral is what is
//     computed.
// Throws Refusal, leaving the record unchanged, for a non-finite input,
// n ≤ 0, β − γ > 1 or UmaxOverUy < 0; and, rather than answer NaN or ±∞,
// with a message that begins "no accurate result", at the extremes of the
// domain where its series do not reach (n so small that 2/n overflows;
// amplitudes near the smallest doubles with n near 0 or |β − γ| near 1e20
// and beyond).
void Solve(BoucWenCase& bw);

}  // namespace quorix::accurate
