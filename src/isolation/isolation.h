// The isolation designer's quantities on the model's steady symmetric loop,
// in exact mathematics (the accurate mode and the branch integrals; nothing
// sampled from a drawn loop).
//
// At a displacement amplitude D of a bearing (X = D/Uy, Fh = (1 − α)·Fy):
//   Keff = F(D)/D = (α·Fy·X + Fh·Za)/D,    EDC = the energy of one cycle,
//   βeff = EDC/(2π·Keff·D²),               Qd = Fh·z(0),
// z(0) the hysteretic variable where the loading branch crosses u = 0. That
// branch starts at (−X, −Za); on z < 0 it follows dz/dx = 1 − w·|z|ⁿ
// (w = β − γ) and reaches z = 0 after G_w(Za), on z > 0 it follows
// 1 − zⁿ. With 2X = G_w(Za) + G_1(Za) and G_1 ≥ G_w (w ≤ 1), the crossing
// lies on the positive side: G_1(z(0)) = X − G_w(Za). The unloading branch is
// the loading one turned through 180°, so both crossings have the magnitude
// Fh·z(0), and their mean is that value.
//
// The bilinear loop with the same Keff, EDC and Qd at D:
//   Kd = Keff − Qd/D,  Dy = D − EDC/(4·Qd),  Ku = (Qd + Kd·Dy)/Dy,
// which exists only for Qd > 0 and 0 < Dy < D.
//
// Each function takes one bearing's case and one D, so that an array of
// (case, D) pairs maps element by element. All are thread-safe.
#pragma once

#include <memory>

#include "case.h"
#include "refusal.h"

namespace quorix::isolation {

// One bearing's loop at the amplitude D (user's force and length).
struct Properties {
  double D = 0.0;
  double Keff = 0.0;     // F(D)/D
  double Force = 0.0;    // F(D) = Keff·D
  double EDC = 0.0;      // energy dissipated per cycle
  double betaEff = 0.0;  // EDC/(2π·Keff·D²)
  double Qd = 0.0;       // force at u = 0 on the steady loop
  double Za = 0.0;       // peak hysteretic variable
  double z0 = 0.0;       // hysteretic variable at u = 0 on the loading branch
};

// The equivalent bilinear loop at D.
struct Bilinear {
  double Qd = 0.0;
  double Kd = 0.0;
  double Dy = 0.0;
  double Ku = 0.0;
};

// Properties of the normalised case c (A = 1, β + γ = 1) at amplitude D > 0.
// Throws Refusal for a case outside the model's domain, for D not positive
// and finite, or where the closed forms give no finite result.
Properties PropertiesAt(const Case& c, double D);

// One case's loop, its tables looked up once, for many displacements: what
// an array of D for one case (or a ufunc over pairs whose case repeats)
// calls. Use it on the thread that made it.
class Loop {
 public:
  explicit Loop(const Case& c);  // Refusal outside the domain or for A ≠ 1
  ~Loop();
  Loop(Loop&&) noexcept;
  Properties At(double D) const;

 private:
  struct Parts;
  std::unique_ptr<const Parts> parts_;
};

// Why a bilinear loop does not exist, or Exists.
enum class BilinearStatus { Exists, NoStrength, YieldNotInside };
BilinearStatus BilinearStatusOf(const Properties& p);

// The equivalent bilinear loop; throws Refusal naming the property that does
// not exist ("Qd", "Dy") and its value.
Bilinear EquivalentBilinear(const Properties& p);

// The same quantities for N bearings side by side: forces, stiffnesses and
// energies × N, ratios and displacements unchanged.
Properties System(const Properties& p, double N);
Bilinear System(const Bilinear& b, double N);

// The bilinear loop with the case's own parameters: Qd = (1 − α)·Fy,
// Kd = α·Fy/Uy, Dy = Uy, Ku = Fy/Uy; the loop the model tends to as n grows.
Bilinear ParametersBilinear(const Case& c);

// The properties of a bilinear loop (characteristic strength Qd,
// post-yield stiffness Kd, yield displacement Dy) at D, in closed form:
// Keff = Kd + Qd/D, EDC = 4·Qd·(D − Dy) for D ≥ Dy; elastic (Ku = Qd/Dy + Kd,
// no energy) below. Za and z0 are those of the bilinear's hysteretic share.
Properties BilinearPropertiesAt(const Bilinear& b, double D);

}  // namespace quorix::isolation
