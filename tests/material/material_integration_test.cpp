// Each program's own equation in its own parameters, integrated by this test's RK4 in u (the law is
// rate-independent) over symmetric cycles: the steady energy against the closed form on the mapped case, the
// step halved once to show that the difference is the integrator's.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "accurate.h"
#include "elastic_term.h"
#include "material.h"

namespace quorix::material {
namespace {

struct Law {
  // dz/du on a branch of direction d = ±1 (the sign of du/dt).
  std::function<double(double z, double d)> slope;
  std::function<double(double u, double z)> force;
};

// Signed power |z|^(p−1)·z and plain |z|^p.
double SignedPower(double z, double p) { return std::copysign(std::pow(std::fabs(z), p), z); }
double AbsPower(double z, double p) { return std::pow(std::fabs(z), p); }

// ∮F du over the last of `cycles` cycles ±umax from u = z = 0, loading first; `steps` steps a branch.
double SteadyEnergy(const Law& law, double umax, int steps, int cycles, double* tipForce = nullptr) {
  double u = 0.0, z = 0.0;
  auto leg = [&](double to, int n, double& work) {
    const double h = (to - u) / n;
    const double d = h > 0 ? 1.0 : -1.0;
    const double u0 = u;
    for (int i = 0; i < n; ++i) {
      const double ui = u0 + i * h;
      const double k1 = law.slope(z, d), w1 = law.force(ui, z);
      const double k2 = law.slope(z + 0.5 * h * k1, d), w2 = law.force(ui + 0.5 * h, z + 0.5 * h * k1);
      const double k3 = law.slope(z + 0.5 * h * k2, d), w3 = law.force(ui + 0.5 * h, z + 0.5 * h * k2);
      const double k4 = law.slope(z + h * k3, d), w4 = law.force(ui + h, z + h * k3);
      z += h / 6.0 * (k1 + 2.0 * k2 + 2.0 * k3 + k4);
      work += h / 6.0 * (w1 + 2.0 * w2 + 2.0 * w3 + w4);
    }
    u = to;
  };
  double ignored = 0.0;
  leg(umax, steps / 2, ignored);
  double work = 0.0;
  for (int c = 0; c < cycles; ++c) {
    work = 0.0;
    leg(-umax, steps, work);
    leg(umax, steps, work);
  }
  if (tipForce != nullptr) *tipForce = law.force(umax, z);
  return work;
}

double ClosedFormEnergy(const Case& c, double umax) {
  BoucWenCase bw = RecordOf(c, umax / c.Uy);
  bw.Complementary = true;
  accurate::Solve(bw);
  return bw.DE;
}

Law OpenSeesLaw(const OpenSeesBoucWen& m) {
  return {[m](double z, double d) { return m.Ao - m.beta * d * SignedPower(z, m.n) - m.gamma * AbsPower(z, m.n); },
          [m](double u, double z) { return m.alpha * m.ko * u + (1.0 - m.alpha) * m.ko * z; }};
}
Law OriginalLaw(const OpenSeesBoucWenOriginal& m) {
  return {[m](double z, double d) {
            return m.E / m.fy * (1.0 - m.beta * d * SignedPower(z, m.eta) - m.gamma * AbsPower(z, m.eta));
          },
          [m](double u, double z) { return m.alphaL * m.E * u + (1.0 - m.alphaL) * m.fy * z; }};
}
// BoucWenOriginal with alphaNL: z over εy = fy/E, the force qd·z + αL·E·u + k3·sgn(u)·|u|^μ.
Law OriginalTermLaw(const OpenSeesBoucWenOriginal& m) {
  const double epsY = m.fy / m.E, k3 = m.alphaNL * m.E;
  const double qd = m.fy - m.alphaL * m.E * epsY - k3 * std::pow(epsY, m.mu);
  return {[m, epsY](double z, double d) {
            return (1.0 - m.beta * d * SignedPower(z, m.eta) - m.gamma * AbsPower(z, m.eta)) / epsY;
          },
          [m, qd, k3](double u, double z) { return qd * z + m.alphaL * m.E * u + k3 * SignedPower(u, m.mu); }};
}
// The element's shear law: z over uy = qYield/k0, the force qYield·z + α1·kInit·u + k3·sgn(u)·|u|^μ.
Law BearingLaw(const ElastomericBearing& m) {
  const double qYield = (1.0 - m.alpha1 - m.alpha2 * std::pow(m.qd / m.kInit, m.mu - 1.0)) * m.qd;
  const double uy = qYield / ((1.0 - m.alpha1) * m.kInit), k3 = m.alpha2 * m.kInit;
  return {[m, uy](double z, double d) {
            return (1.0 - m.beta * d * SignedPower(z, m.eta) - m.gamma * AbsPower(z, m.eta)) / uy;
          },
          [m, qYield, k3](double u, double z) {
            return qYield * z + m.alpha1 * m.kInit * u + k3 * SignedPower(u, m.mu);
          }};
}

Law CsiLaw(const CsiWen& m) {
  return {[m](double z, double d) { return m.k / m.yield * (d * z > 0.0 ? 1.0 - AbsPower(z, m.exp) : 1.0); },
          [m](double u, double z) { return m.ratio * m.k * u + (1.0 - m.ratio) * m.yield * z; }};
}
Law GeneralLaw(const Case& g) {
  return {[g](double z, double d) {
            return (g.A - g.gamma * d * SignedPower(z, g.n) - g.beta * AbsPower(z, g.n)) / g.Uy;
          },
          [g](double u, double z) { return g.alpha * g.Fy / g.Uy * u + (1.0 - g.alpha) * g.Fy * z; }};
}

OpenSeesBoucWen BoucWen(double alpha, double ko, double n, double gamma, double beta, double Ao) {
  OpenSeesBoucWen m;
  m.alpha = alpha, m.ko = ko, m.n = n, m.gamma = gamma, m.beta = beta, m.Ao = Ao;
  return m;
}
OpenSeesBoucWenOriginal Original(double E, double fy, double alphaL, double eta, double beta, double gamma) {
  OpenSeesBoucWenOriginal m;
  m.E = E, m.fy = fy, m.alphaL = alphaL, m.eta = eta, m.beta = beta, m.gamma = gamma;
  return m;
}

// The closed form's record of the mapped case at umax, its forces with the elastic term.
BoucWenCase ClosedForm(const MappedMaterial& m, double umax) {
  BoucWenCase bw = RecordOf(m.c, umax / m.c.Uy);
  bw.Complementary = true;
  accurate::Solve(bw);
  AddElasticTerm(bw, m.elastic);
  return bw;
}

OpenSeesBoucWenOriginal OriginalTerm(double E, double fy, double alphaL, double alphaNL, double mu, double eta,
                                     double beta, double gamma) {
  OpenSeesBoucWenOriginal m = Original(E, fy, alphaL, eta, beta, gamma);
  m.alphaNL = alphaNL, m.mu = mu;
  return m;
}
ElastomericBearing Bearing(double kInit, double qd, double alpha1, double alpha2, double mu, double eta, double beta,
                           double gamma) {
  ElastomericBearing m;
  m.kInit = kInit, m.qd = qd, m.alpha1 = alpha1, m.alpha2 = alpha2, m.mu = mu, m.eta = eta, m.beta = beta,
  m.gamma = gamma;
  return m;
}

// The elastic term does no work over the cycle: the energy is the closed form's of the mapped case, and the
// force at the tip is the closed form's Fa with the term's force there.
TEST(MaterialIntegration, AnElasticTermKeepsTheEnergyAndAddsItsForce) {
  const OpenSeesBoucWenOriginal o1 = OriginalTerm(2e5, 355.0, 0.02, 2000.0, 3.0, 1.0, 0.5, 0.5);
  const OpenSeesBoucWenOriginal o2 = OriginalTerm(210e3, 250.0, 0.05, 0.5, 1.5, 2.0, 1.0, 0.5);
  const ElastomericBearing b1 = Bearing(1e4, 50.0, 0.1, 0.3, 2.0, 1.0, 0.5, 0.5);
  const ElastomericBearing b2 = Bearing(2e3, 20.0, 0.05, 0.02, 0.5, 1.5, 0.8, 0.6);
  const ElastomericBearing b3 = Bearing(2e3, 20.0, 0.05, -0.02, 0.5, 1.5, 0.8, 0.6);  // a softening spring
  const struct {
    std::string label;
    Law law;
    MappedMaterial mapped;
    double umax;
  } cases[] = {
      {"BoucWenOriginal alphaNL=2000 mu=3, u=3 Uy", OriginalTermLaw(o1), Map(o1), 3.0 * Map(o1).c.Uy},
      {"BoucWenOriginal alphaNL=0.5 mu=1.5 eta=2, u=5 Uy", OriginalTermLaw(o2), Map(o2), 5.0 * Map(o2).c.Uy},
      {"bearing alpha2=0.3 mu=2, u=0.1 (saturated)", BearingLaw(b1), Map(b1), 0.1},
      {"bearing alpha2=0.02 mu=0.5 eta=1.5, u=0.05", BearingLaw(b2), Map(b2), 0.05},
      {"bearing alpha2=-0.02 mu=0.5 eta=1.5, u=0.05", BearingLaw(b3), Map(b3), 0.05},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(c.mapped.elastic.Active());
    const BoucWenCase closed = ClosedForm(c.mapped, c.umax);
    double previous = 0.0;
    for (int steps : {4000, 8000}) {
      double tip = 0.0;
      const double difference = std::fabs(SteadyEnergy(c.law, c.umax, steps, 40, &tip) / closed.DE - 1.0);
      const double force = std::fabs(tip / closed.Fa - 1.0);
      std::printf("%-48s %6d steps/branch  relative difference %.2e, force at the tip %.2e\n", c.label.c_str(), steps,
                  difference, force);
      EXPECT_LT(difference, 2e-6);
      EXPECT_LT(force, 2e-6);
      if (steps == 8000) {
        EXPECT_TRUE(difference < 0.75 * previous || difference < 1e-10) << difference;
      }
      previous = difference;
    }
  }
}

TEST(MaterialIntegration, EachProgramsEquationGivesTheClosedFormsEnergy) {
  const OpenSeesBoucWen bw1 = BoucWen(0.02, 5e4, 1.0, 30.0, 50.0, 2.0);
  const OpenSeesBoucWen bw2 = BoucWen(0.2, 300.0, 0.6, -0.4, 1.2, 0.5);
  const OpenSeesBoucWen bw3 = BoucWen(0.1, 25.766, 2.0, 8.1162, 73.046, 1.0);
  const OpenSeesBoucWenOriginal o1 = Original(210e3, 250.0, 0.05, 2.0, 1.0, 0.5);
  const CsiWen csi{2.0e4, 150.0, 0.08, 1.5};
  const Case general{.n = 1.5, .beta = 1.0, .gamma = 2.0, .alpha = 0.3, .Fy = 1e3, .Uy = 2.5, .A = 0.5};
  const struct {
    std::string label;
    Law law;
    Case mapped;
    double umax;
  } cases[] = {
      {"BoucWen Ao=2 n=1 b+g=80, u=0.5 Uy", OpenSeesLaw(bw1), FromOpenSees(bw1), 0.5 * FromOpenSees(bw1).Uy},
      {"BoucWen Ao=2 n=1 b+g=80, u=40 Uy", OpenSeesLaw(bw1), FromOpenSees(bw1), 40.0 * FromOpenSees(bw1).Uy},
      {"BoucWen Ao=0.5 n=0.6 b+g=0.8, u=2 Uy", OpenSeesLaw(bw2), FromOpenSees(bw2), 2.0 * FromOpenSees(bw2).Uy},
      {"BoucWen default line, u=0.111", OpenSeesLaw(bw3), FromOpenSees(bw3), 0.111},
      {"BoucWenOriginal eta=2 b+g=1.5, u=3 Uy", OriginalLaw(o1), FromOpenSees(o1), 3.0 * FromOpenSees(o1).Uy},
      {"CSI Wen exp=1.5, d=0.02", CsiLaw(csi), FromCsiWen(csi), 0.02},
      {"CSI Wen exp=1.5, d=0.3 (saturated)", CsiLaw(csi), FromCsiWen(csi), 0.3},
      {"general A=0.5 b+g=3 n=1.5, u=1.5", GeneralLaw(general), Normalise(general), 1.5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const double exact = ClosedFormEnergy(c.mapped, c.umax);
    double previous = 0.0;
    for (int steps : {4000, 8000}) {
      const double difference = std::fabs(SteadyEnergy(c.law, c.umax, steps, 40) / exact - 1.0);
      std::printf("%-40s %6d steps/branch  relative difference %.2e\n", c.label.c_str(), steps, difference);
      EXPECT_LT(difference, 2e-6);
      // Halving the step shrinks the difference, down to the doubles' floor over 6·10⁵ steps.
      if (steps == 8000) {
        EXPECT_TRUE(difference < 0.75 * previous || difference < 1e-10) << difference;
      }
      previous = difference;
    }
  }
}

}  // namespace
}  // namespace quorix::material
