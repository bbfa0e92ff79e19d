// The model as analysis programs write it, mapped exactly onto Quorix's
// normalised one, and back.
//
// Quorix's law, in Wen's labelling (γ on the |u̇| term):
//   ż = (1/Uy)·(A·u̇ − γ·|u̇|·|z|ⁿ⁻¹·z − β·u̇·|z|ⁿ),
//   F = α·(Fy/Uy)·u + (1 − α)·Fy·z,
// normalised when A = 1 and β + γ = 1: z then saturates at 1, Fy is the
// hysteretic part's full force over (1 − α) and Uy the displacement at which
// the linear start of z reaches 1.
//
// Any A > 0 and s = β + γ > 0 give the same loops as a normalised case: with
// z = z_u·w, z_u = (A/s)^(1/n),
//   ẇ = (A/(Uy·z_u))·(u̇ − (γ/s)·|u̇|·|w|ⁿ⁻¹·w − (β/s)·u̇·|w|ⁿ),
// so γ' = γ/s, β' = β/s, Uy' = Uy·z_u/A; the force is the same function of
// u and w when the initial stiffness K0 = (Fy/Uy)·(α + (1 − α)·A) and the
// hysteretic share are kept: α' = α/(α + (1 − α)·A), Fy' = K0·Uy'.
//
// The roots and powers of the mapping are formed in double-double
// arithmetic, so each mapped value is the double nearest its exact value or
// next to it; no libm function is used, so every machine gives the same
// bits.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>
#include "case.h"
#include "elastic_term.h"
#include "refusal.h"

namespace quorix::material {

// Refuses (naming it) a non-finite value, A ≤ 0, β + γ ≤ 0, γ < 0 (then
// β − γ > β + γ and the unloading branch would outrun the saturation), n ≤ 0,
// Uy ≤ 0, Fy ≤ 0, α outside [0, 1]; else the normalised case (A = 1,
// β + γ = 1) with the same loops.
Case Normalise(const Case& general);

// OpenSees's uniaxialMaterial BoucWen without degradation:
//   F = α·ko·u + (1 − α)·ko·z,  ż = Ao·u̇ − β·|u̇|·|z|ⁿ⁻¹·z − γ·u̇·|z|ⁿ,
// z in displacement units; β multiplies the |u̇| term (the other way round
// from Quorix's labelling). deltaA, deltaNu, deltaEta must be 0.
struct OpenSeesBoucWen {
  long tag = 1;
  double alpha = 0.0, ko = 0.0, n = 0.0, gamma = 0.0, beta = 0.0, Ao = 1.0;
  double deltaA = 0.0, deltaNu = 0.0, deltaEta = 0.0;
};

// OpenSees's uniaxialMaterial BoucWenOriginal: with εy = fy/E, k3 = alphaNL·E,
//   F = qd·z + αL·E·u + k3·sgn(u)·|u|^μ,  qd = fy − αL·E·εy − k3·εy^μ,
//   ż = (1/εy)·(u̇ − β·|u̇|·|z|^(η−1)·z − γ·u̇·|z|^η), z dimensionless.
// Without alphaNL, qd = (1 − αL)·fy and F = αL·E·u + (1 − αL)·fy·z. The
// k3 term is elastic (ElasticTerm); it lowers the hysteretic strength qd.
struct OpenSeesBoucWenOriginal {
  long tag = 1;
  double E = 0.0, fy = 0.0, alphaL = 0.0, alphaNL = 0.0, mu = 2.0, eta = 1.0, beta = 0.5, gamma = 0.5;
};

// The "Plastic (Wen)" link of CSI's analysis programs:
//   f = ratio·k·d + (1 − ratio)·yield·z,
//   ż = (k/yield)·ḋ·(1 − |z|^exp) when ḋ·z > 0, (k/yield)·ḋ otherwise:
// Quorix's model with γ = β = ½.
struct CsiWen {
  double k = 0.0, yield = 0.0, ratio = 0.0, exp = 0.0;
};

// OpenSees's element elastomericBearingBoucWen, its shear direction (the one
// with the Bouc-Wen law; in 3D, a cycle along one shear axis leaves the other
// axis's z at zero): with k0 = (1 − α1)·kInit, k3 = α2·kInit,
//   q = qYield·z + α1·kInit·u + k3·sgn(u)·|u|^μ,
//   qYield = (1 − α1 − α2·(qd/kInit)^(μ−1))·qd,  uy = qYield/k0,
//   ż = (1/uy)·(u̇ − β·|u̇|·|z|^(η−1)·z − γ·u̇·|z|^η).
// The nodes and the words after the shear law (the other directions'
// materials -P, -T, -My, -Mz and the options) are kept as written and not used.
struct ElastomericBearing {
  long tag = 1;
  std::string iNode = "$iNode", jNode = "$jNode";
  double kInit = 0.0, qd = 0.0, alpha1 = 0.0, alpha2 = 0.0, mu = 2.0, eta = 1.0, beta = 0.5, gamma = 0.5;
  // The words after gamma, Tcl's way: flags unquoted ("-P"), variables with '$'.
  std::vector<std::string> rest = {"-P", "$matTagP", "-Mz", "$matTagMz"};
};

// A mapped material: the normalised case and the elastic term beside it.
struct MappedMaterial {
  Case c;
  ElasticTerm elastic;
};

Case FromOpenSees(const OpenSeesBoucWen& m);
Case FromOpenSees(const OpenSeesBoucWenOriginal& m);
Case FromCsiWen(const CsiWen& m);
// With the elastic term: alphaNL (or alpha2) may be nonzero, μ then
// positive; refused when the term leaves the hysteretic part no strength.
MappedMaterial Map(const OpenSeesBoucWenOriginal& m);
MappedMaterial Map(const ElastomericBearing& m);

// The case as each material writes it (refused unless normalised, A = 1): BoucWen with the given Ao (z in
// displacement units, z_u = Ao·Uy), BoucWenOriginal (z_u = 1), and the CSI
// link, which exists only for γ = β = ½ (to 15 digits; nullopt otherwise).
OpenSeesBoucWen ToOpenSees(const Case& c, double Ao = 1.0, long tag = 1);
OpenSeesBoucWenOriginal ToOpenSeesOriginal(const Case& c, long tag = 1);
std::optional<CsiWen> ToCsiWen(const Case& c);
// The same with an elastic term (alphaNL = k3/E, alpha2 = k3/kInit); without
// one, ToOpenSeesOriginal's values. The element's qd solves
// (1 − α1)·(qd − Fy) = k3·(qd/kInit)^μ from qd = Fy, refused where the term
// outgrows the strength (no qd).
OpenSeesBoucWenOriginal ToOpenSeesOriginal(const Case& c, const ElasticTerm& term, long tag = 1);
ElastomericBearing ToElastomericBearing(const Case& c, const ElasticTerm& term = {}, long tag = 1);

// Whether β + γ differs from 1 beyond the 15 significant digits the β field
// shows: the β field's text for γ (that of 1 − γ) differs from β's own.
bool SumDiffersFromOne(double beta, double gamma);

}  // namespace quorix::material
