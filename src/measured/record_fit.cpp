// The fit along the whole record: n, γ, α, Fy, Uy (and z0 when asked) whose
// exact response along the measured displacements, from z0 at the first
// sample, best matches the measured force at every sample that counts.
// Virgin loading, transient cycles and cycles of every amplitude all count,
// each sample with the same weight.
//
// Derivatives: α and Fy enter the force linearly, F = α·Fy·x + (1 − α)·Fy·z,
// and are differentiated exactly. n, γ, Uy and z0 act through z, whose
// sensitivity is carried across every reversal (the end of one stretch
// starts the next). Implicit differentiation of x − x₀ = H(z) − H(z₀) would
// need ∂G/∂n and ∂G/∂w at every stretch's start; forward differences of the
// exact response cost one more run each and, with the response accurate to
// about 1e-16, a step of 3e-8 leaves about 1e-8 of each derivative, far
// below what the search needs.
#include <Eigen/Cholesky>
#include <Eigen/Core>
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "decimal.h"
#include "fit_steps.h"
#include "response.h"
#include "views.h"

namespace quorix::measured::detail {

namespace {

constexpr std::size_t kZ0 = 5;  // z0 beside the five model parameters
constexpr std::size_t kFreeCount = 6;
constexpr const char* kZ0Name = "z0";

// Samples beyond which the scan for starting values runs on a thinned
// history (every k-th sample and every reversal beyond the dead band).
constexpr std::size_t kScanSamples = 20000;

struct RecordProblem {
  const std::vector<double>* u = nullptr;
  const std::vector<double>* F = nullptr;
  std::size_t first = 0;  // samples that count: first … last
  std::size_t last = 0;
  // √w of each sample of the path (a thinned copy's samples stand for
  // those between them); empty: every sample weighs 1.
  std::vector<double> rootWeight;
  std::array<bool, kFreeCount> free{};
  std::vector<std::size_t> freeIndex;
  Parameters base;
  double z0 = 0.0;
  // Scratch: z at every sample up to `last`, and beside it for a step.
  std::vector<double> z, stepped;

  std::size_t Rows() const { return last - first + 1; }
  double RootWeight(std::size_t k) const { return rootWeight.empty() ? 1.0 : rootWeight[k]; }

  void Read(const Eigen::VectorXd& x, Parameters& p, double& z) const {
    p = base;
    z = z0;
    for (std::size_t k = 0; k < freeIndex.size(); ++k) {
      const double v = x(k);
      if (freeIndex[k] == kZ0) z = v;
      else At(p, freeIndex[k]) = v;
    }
  }
};

// z along the history up to sample `last`; false outside the model's domain.
bool ZAlong(const std::vector<double>& u, std::size_t last, const Parameters& p, double z0, std::vector<double>& z) {
  try {
    response::CheckParameters(p, z0);
  } catch (const response::ResponseError&) {
    return false;
  }
  z.resize(last + 1);
  response::Response r(p, z0, u[0]);
  z[0] = r.Z();
  for (std::size_t k = 1; k <= last; ++k) {
    r.Next(u[k]);
    z[k] = r.Z();
  }
  return true;
}

// Residuals F_model − F at the samples that count. A parameter set outside
// the model's domain gets huge residuals, which the trust region rejects as
// a step.
void Residuals(RecordProblem& pr, const Eigen::VectorXd& x, Eigen::VectorXd& f) {
  Parameters p;
  double z0 = 0.0;
  pr.Read(x, p, z0);
  const std::vector<double>& u = *pr.u;
  const std::vector<double>& F = *pr.F;
  const bool ok = ZAlong(u, pr.last, p, z0, pr.z);
  const double elastic = p.alpha * p.Fy, hysteretic = (1.0 - p.alpha) * p.Fy;
  for (std::size_t k = pr.first; k <= pr.last; ++k) {
    const double model = elastic * (u[k] / p.Uy) + hysteretic * (ok ? pr.z[k] : 0.0);
    f(k - pr.first) = ok ? pr.RootWeight(k) * (model - F[k]) : 1e30 * (1.0 + std::fabs(F[k]));
  }
}

// The step of a forward difference in parameter i, and its direction where
// a forward step would leave the domain (z0 next to ±1).
double StepFor(std::size_t i, const Parameters& p, double z0) {
  if (i == kUy) return 3e-8 * p.Uy;
  if (i == kZ0) return z0 + 3e-8 < 1.0 ? 3e-8 : -3e-8;
  return 3e-8 * std::max(1.0, std::fabs(Get(p, i)));
}

// False where the response, or its step for a derivative, leaves the
// model's domain.
bool Jacobian(RecordProblem& pr, const Eigen::VectorXd& x, Eigen::MatrixXd& J) {
  Parameters p;
  double z0 = 0.0;
  pr.Read(x, p, z0);
  const std::vector<double>& u = *pr.u;
  if (!ZAlong(u, pr.last, p, z0, pr.z)) return false;
  const double hysteretic = (1.0 - p.alpha) * p.Fy;
  for (std::size_t k = 0; k < pr.freeIndex.size(); ++k) {
    const std::size_t which = pr.freeIndex[k];
    if (which == kAlpha || which == kFy) {
      for (std::size_t s = pr.first; s <= pr.last; ++s) {
        const double xs = u[s] / p.Uy;
        const double d = which == kAlpha ? p.Fy * (xs - pr.z[s]) : p.alpha * xs + (1.0 - p.alpha) * pr.z[s];
        J(s - pr.first, k) = pr.RootWeight(s) * d;
      }
      continue;
    }
    const double h = StepFor(which, p, z0);
    Parameters q = p;
    double qz0 = z0;
    if (which == kZ0) qz0 += h;
    else At(q, which) += h;
    if (!ZAlong(u, pr.last, q, qz0, pr.stepped)) return false;
    for (std::size_t s = pr.first; s <= pr.last; ++s) {
      double d = hysteretic * (pr.stepped[s] - pr.z[s]) / h;
      // x = u/Uy: the elastic force's own change with Uy.
      if (which == kUy) d += p.alpha * p.Fy * (-u[s] / (p.Uy * p.Uy));
      J(s - pr.first, k) = pr.RootWeight(s) * d;
    }
  }
  return true;
}

// The least-squares problem of the search over `pr`'s samples that count.
LeastSquaresProblem ProblemFunctions(RecordProblem& pr) {
  LeastSquaresProblem problem;
  problem.rows = pr.Rows();
  problem.residuals = [&pr](const Eigen::VectorXd& x, Eigen::VectorXd& f) { Residuals(pr, x, f); };
  problem.jacobian = [&pr](const Eigen::VectorXd& x, Eigen::MatrixXd& J) { return Jacobian(pr, x, J); };
  return problem;
}

// A long record is searched on a thinned copy first, then finished on every
// sample. The copy keeps sample 0, the first and last that count and every
// reversal of the motion (every change of the sign of Δu, not only those
// beyond the dead band), so that along it the model's response at each kept
// sample is exactly the one along the whole record: within a stretch z
// depends only on the stretch's start and on u. Of the samples in between
// it keeps every k-th, k such that about kSketchSamples remain. When the
// reversals alone are more than that (thousands of small cycles), it also
// drops the steady cycles after the first kKeptSteady of each run of them
// (a steady cycle repeats the one before it, so z comes back to where it
// was, to the steady mark's 2 %). Each kept sample weighs as many samples
// of the record as it stands for, those of a dropped cycle spread over the
// kept cycles of its run, so that the copy's misfit is the record's in
// miniature.
constexpr std::size_t kSketchSamples = 20000;
constexpr std::size_t kKeptSteady = 2;
// Gauss-Newton steps on the whole record after the copy's search, at most;
// a step below kPolishTolerance of each parameter (of 1 for z0) ends them.
constexpr int kPolishSteps = 6;
constexpr double kPolishTolerance = 1e-10;

struct Sketch {
  std::vector<std::size_t> index;  // record samples kept, ascending
  std::vector<double> u, F, rootWeight;
  std::size_t first = 0, last = 0;  // in the copy
  // Turns of the motion passed over as noise (see SketchOf); 0 when the
  // copy keeps every turn.
  std::size_t noiseTurns = 0;
  double noiseBand = 0.0;  // their largest size, a share of the range
};

// Marks the turns of u[0, count) that the motion comes back from by more
// than band (> 0): the highest sample before each fall of more than band,
// the lowest before each rise. Returns their number.
std::size_t TurnsBeyond(const std::vector<double>& u, std::size_t count, double band, std::vector<char>& turns) {
  std::size_t hi = 0, lo = 0, found = 0;
  int direction = 0;
  for (std::size_t k = 1; k < count; ++k) {
    if (u[k] > u[hi]) hi = k;
    if (u[k] < u[lo]) lo = k;
    if (direction == 0) {
      if (u[hi] - u[lo] <= band) continue;
      // The first extreme passed is a turn unless it is the start.
      direction = hi > lo ? 1 : -1;
      const std::size_t start = direction > 0 ? lo : hi;
      if (start != 0) turns[start] = 1, ++found;
      if (direction > 0) lo = k; else hi = k;
    } else if (direction > 0 && u[k] < u[hi] - band) {
      turns[hi] = 1, ++found, direction = -1, lo = k;
    } else if (direction < 0 && u[k] > u[lo] + band) {
      turns[lo] = 1, ++found, direction = 1, hi = k;
    }
  }
  return found;
}

Sketch SketchOf(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                std::size_t first, std::size_t last) {
  const std::size_t count = last + 1;
  std::vector<char> must(count, 0), dropped(count, 0);
  must[0] = must[first] = must[last] = 1;
  std::size_t reversals = 0, noiseTurns = 0;
  double noiseBand = 0.0;
  int direction = 0;
  for (std::size_t k = 1; k < count; ++k) {
    const double d = u[k] - u[k - 1];
    if (d == 0.0) continue;
    const int s = d > 0.0 ? 1 : -1;
    if (direction != 0 && s != direction) must[k - 1] = 1, ++reversals;
    direction = s;
  }
  // Noise on the displacement turns the motion at most samples, and a copy
  // that keeps every turn is no thinner than the record. The copy then
  // keeps only the turns that come back more than a band, the smallest of
  // 10⁻⁴, 10⁻³, 10⁻² of the displacement range that leaves few enough:
  // the noise's small loops, which hardly move z, are passed over in the
  // search, and the finish on every sample takes them in again.
  if (reversals > kSketchSamples / 4) {
    const auto [low, high] = std::minmax_element(u.begin(), u.begin() + static_cast<std::ptrdiff_t>(count));
    for (double share : {1e-4, 1e-3, 1e-2}) {
      const double band = share * (*high - *low);
      std::vector<char> turns(count, 0);
      const std::size_t found = TurnsBeyond(u, count, band, turns);
      if (found <= kSketchSamples / 4 || share == 1e-2) {
        for (std::size_t k = 0; k < count; ++k) must[k] = turns[k] || k == 0 || k == first || k == last;
        noiseTurns = reversals - std::min(reversals, found), noiseBand = share;
        reversals = found;
        break;
      }
    }
  }
  // Runs of steady cycles inside the samples that count: the kept cycles of
  // each run and the samples its dropped ones held.
  struct Run {
    std::vector<std::size_t> kept;
    double droppedSamples = 0.0;
  };
  std::vector<Run> runs;
  if (reversals > kSketchSamples / 4) {
    std::size_t inRun = 0;
    bool previousDropped = false;
    for (std::size_t c = 0; c < table.cycles.size(); ++c) {
      const Cycle& cy = table.cycles[c];
      const bool inside = cy.first >= first && cy.last <= last;
      inRun = cy.steady && inside ? inRun + 1 : 0;
      if (inRun == 1) runs.emplace_back();
      if (inRun <= kKeptSteady) {
        if (inRun > 0) runs.back().kept.push_back(c);
        previousDropped = false;
        continue;
      }
      // Consecutive dropped cycles go together: the path jumps from the
      // first one's start to the last one's end.
      for (std::size_t k = previousDropped ? cy.first : cy.first + 1; k < cy.last; ++k) dropped[k] = 1, must[k] = 0;
      previousDropped = true;
      runs.back().droppedSamples += static_cast<double>(cy.last - cy.first);
    }
  }
  std::size_t kept = 0, between = 0;
  for (std::size_t k = 0; k < count; ++k) {
    if (dropped[k]) continue;
    if (must[k]) ++kept;
    else ++between;
  }
  const std::size_t room = kSketchSamples > kept ? kSketchSamples - kept : 1;
  const std::size_t stride = std::max<std::size_t>(1, (between + room - 1) / room);
  Sketch sk;
  sk.noiseTurns = noiseTurns, sk.noiseBand = noiseBand;
  std::vector<double> weight;
  double pending = 0.0;
  std::size_t seen = 0;
  for (std::size_t k = 0; k < count; ++k) {
    if (dropped[k]) continue;
    if (k >= first) pending += 1.0;
    const bool keep = must[k] || (seen++ % stride == 0);
    if (!keep) continue;
    if (k == first) sk.first = sk.index.size();
    if (k == last) sk.last = sk.index.size();
    sk.index.push_back(k);
    weight.push_back(pending);
    pending = 0.0;
  }
  // A dropped cycle's samples onto the kept cycles of its run.
  for (const Run& run : runs) {
    if (run.kept.empty() || run.droppedSamples == 0.0) continue;
    const std::size_t a = table.cycles[run.kept.front()].first, b = table.cycles[run.kept.back()].last;
    const auto from = std::upper_bound(sk.index.begin(), sk.index.end(), a) - sk.index.begin();
    const auto to = std::upper_bound(sk.index.begin(), sk.index.end(), b) - sk.index.begin();
    double held = 0.0;
    for (auto j = from; j < to; ++j) held += weight[static_cast<std::size_t>(j)];
    if (held == 0.0) continue;
    const double scale = 1.0 + run.droppedSamples / held;
    for (auto j = from; j < to; ++j) weight[static_cast<std::size_t>(j)] *= scale;
  }
  for (std::size_t j = 0; j < sk.index.size(); ++j) {
    sk.u.push_back(u[sk.index[j]]);
    sk.F.push_back(F[sk.index[j]]);
    sk.rootWeight.push_back(std::sqrt(weight[j]));
  }
  return sk;
}

// JᵀJ and Jᵀf of the weighted problem, p × p and p.
void NormalEquations(const Eigen::MatrixXd& J, const Eigen::VectorXd& f, Eigen::MatrixXd& JtJ, std::vector<double>& Jtf) {
  const Eigen::Index p = J.cols(), rows = J.rows();
  JtJ.setZero(p, p);
  Jtf.assign(static_cast<std::size_t>(p), 0.0);
  for (Eigen::Index r = 0; r < rows; ++r) {
    for (Eigen::Index a = 0; a < p; ++a) {
      const double ja = J(r, a);
      Jtf[static_cast<std::size_t>(a)] += ja * f(r);
      for (Eigen::Index b = a; b < p; ++b) JtJ(a, b) += ja * J(r, b);
    }
  }
  for (Eigen::Index a = 0; a < p; ++a) {
    for (Eigen::Index b = 0; b < a; ++b) JtJ(a, b) = JtJ(b, a);
  }
}

// The Gauss-Newton step −(JᵀJ)⁻¹Jᵀf, solved in the correlation form (unit
// diagonal) by Cholesky; empty when JᵀJ is not positive definite.
std::vector<double> GaussNewtonStep(const Eigen::MatrixXd& JtJ, const std::vector<double>& Jtf) {
  const Eigen::Index p = static_cast<Eigen::Index>(Jtf.size());
  std::vector<double> scale(Jtf.size());
  for (Eigen::Index a = 0; a < p; ++a) scale[static_cast<std::size_t>(a)] = std::sqrt(JtJ(a, a));
  Eigen::MatrixXd C(p, p);
  Eigen::VectorXd b(p);
  for (Eigen::Index a = 0; a < p; ++a) {
    const double sa = scale[static_cast<std::size_t>(a)];
    if (!(sa > 0.0 && std::isfinite(sa))) return {};
    for (Eigen::Index c = 0; c < p; ++c) C(a, c) = JtJ(a, c) / (sa * scale[static_cast<std::size_t>(c)]);
    b(a) = -Jtf[static_cast<std::size_t>(a)] / sa;
  }
  const Eigen::LLT<Eigen::MatrixXd> cholesky(C);
  if (cholesky.info() != Eigen::Success) return {};
  const Eigen::VectorXd solved = cholesky.solve(b);
  std::vector<double> step(Jtf.size());
  for (Eigen::Index a = 0; a < p; ++a) step[static_cast<std::size_t>(a)] = solved(a) / scale[static_cast<std::size_t>(a)];
  return step;
}

double SumOfSquares(const Eigen::VectorXd& f) {
  double ss = 0.0;
  for (Eigen::Index r = 0; r < f.size(); ++r) ss += f(r) * f(r);
  return ss;
}

struct Polished {
  std::vector<double> position;
  int steps = 0;
};

// From the copy's minimum, Gauss-Newton steps on every sample (halved when
// a step does not lower the misfit), until a step falls below
// kPolishTolerance. Leaves J and f at the position returned. The copy's
// minimum lies within the noise of the record's, so one or two steps do;
// each costs a run of the response per parameter, as the search's own
// iterations would, without their rejected trials.
Polished Polish(const LeastSquaresProblem& problem, const RecordProblem& pr, std::vector<double> x, Eigen::MatrixXd& J,
                Eigen::VectorXd& f, const std::function<void(const std::string&)>& progress) {
  const std::size_t p = x.size();
  Eigen::VectorXd xv(p), trial(problem.rows);
  Eigen::MatrixXd JtJ(p, p);
  std::vector<double> Jtf;
  auto load = [&](const std::vector<double>& v) {
    for (std::size_t k = 0; k < p; ++k) xv(k) = v[k];
  };
  load(x);
  problem.residuals(xv, f);
  double ss = SumOfSquares(f);
  Polished out;
  for (int step = 0;; ++step) {
    if (progress) progress("finishing on all " + std::to_string(problem.rows) + " samples, step " + std::to_string(step + 1));
    if (!problem.jacobian(xv, J)) throw FitError("the model cannot be evaluated at the fitted parameters");
    // Still moving after every step allowed: the copy's minimum was not
    // near the record's, and a result here would be neither.
    if (step == kPolishSteps) {
      throw FitError("the fit on every sample did not settle within " + std::to_string(kPolishSteps) +
                     " steps from the thinned copy's minimum; give starting values with NAME=VALUE or fix some "
                     "parameters");
    }
    NormalEquations(J, f, JtJ, Jtf);
    const std::vector<double> delta = GaussNewtonStep(JtJ, Jtf);
    if (delta.empty()) break;  // CheckIdentifiable names what is missing
    bool small = true;
    for (std::size_t k = 0; k < p; ++k) {
      const double size = pr.freeIndex[k] == kZ0 ? 1.0 : std::fabs(x[k]);
      small = small && std::fabs(delta[k]) <= kPolishTolerance * size;
    }
    if (small) break;
    bool moved = false;
    for (double share = 1.0; share >= 0.25 && !moved; share *= 0.5) {
      std::vector<double> next = x;
      for (std::size_t k = 0; k < p; ++k) next[k] += share * delta[k];
      load(next);
      problem.residuals(xv, trial);
      const double trialSS = SumOfSquares(trial);
      if (trialSS < ss) {
        x = next, ss = trialSS, moved = true;
        f = trial;
      }
    }
    load(x);
    if (!moved) break;  // at the minimum to within what the derivatives resolve
    ++out.steps;
  }
  out.position = x;
  return out;
}

// The samples the scan runs on: all of them, or for a long record every
// k-th one with every reversal beyond the dead band kept, so that the
// thinned path still turns where the record does.
std::vector<std::size_t> ScanSamples(const std::vector<double>& u, std::size_t last) {
  std::vector<std::size_t> kept;
  const std::size_t stride = std::max<std::size_t>(1, (last + 1) / kScanSamples);
  std::vector<std::size_t> reversals;
  if (stride > 1) reversals = FindReversals(std::vector<double>(u.begin(), u.begin() + last + 1));
  std::size_t r = 0;
  for (std::size_t k = 0; k <= last; ++k) {
    const bool reversal = r < reversals.size() && reversals[r] == k;
    if (reversal) ++r;
    if (k % stride == 0 || reversal || k == last) kept.push_back(k);
  }
  return kept;
}

// A grid over n, γ and Uy around the knee estimate, each point with its best
// α and Fy (the force is linear in them), on the scan's samples.
Parameters ScanStart(const RecordProblem& pr, Parameters knee) {
  const std::vector<double>& u = *pr.u;
  const std::vector<double>& F = *pr.F;
  const std::vector<std::size_t> samples = ScanSamples(u, pr.last);
  std::vector<double> path;
  path.reserve(samples.size());
  for (std::size_t k : samples) path.push_back(u[k]);
  auto grid = [&](std::size_t i, std::vector<double> values) {
    if (!pr.free[i]) return std::vector<double>{Get(pr.base, i)};
    return values;
  };
  const std::vector<double> ns = grid(kN, {0.8, 1.2, 2.0, 3.0, 5.0, 8.0});
  const std::vector<double> gammas = grid(kGamma, {0.3, 0.6, 0.9});
  const std::vector<double> uys = grid(kUy, {0.6 * knee.Uy, knee.Uy, 1.6 * knee.Uy});
  Parameters best = knee;
  double bestCost = std::numeric_limits<double>::infinity();
  std::vector<double> z;
  for (double n : ns) {
    for (double g : gammas) {
      for (double uy : uys) {
        Parameters p = knee;
        p.n = n, p.gamma = g, p.Uy = uy;
        if (!pr.free[kAlpha]) p.alpha = pr.base.alpha;
        if (!pr.free[kFy]) p.Fy = pr.base.Fy;
        const Parameters unit{.n = n, .gamma = g, .alpha = 0.0, .Fy = 1.0, .Uy = uy};
        if (!ZAlong(path, path.size() - 1, unit, pr.z0, z)) continue;
        LinearSums sums;
        for (std::size_t j = 0; j < samples.size(); ++j) {
          const double rw = pr.RootWeight(samples[j]);
          if (samples[j] >= pr.first) sums.Add(rw * rw, u[samples[j]] / uy, z[j], F[samples[j]]);
        }
        const double cost = sums.Cost(pr.free[kAlpha], pr.free[kFy], p);
        if (cost < bestCost) bestCost = cost, best = p;
      }
    }
  }
  if (!std::isfinite(bestCost)) throw FitError("no starting point of the scan gives a model response");
  return best;
}

// The samples that count: those asked for, those of the chosen cycles, or
// all of them.
void ChooseSamples(const CycleTable& table, const FitOptions& options, std::size_t count, RecordProblem& pr) {
  pr.first = 0;
  pr.last = count - 1;
  if (options.samples) {
    const auto [a, b] = *options.samples;
    if (!(a < b && b < count)) {
      throw FitError("samples " + std::to_string(a + 1) + " to " + std::to_string(b + 1) +
                     ": the record has samples 1 to " + std::to_string(count));
    }
    pr.first = a, pr.last = b;
  } else if (!options.cycles.empty()) {
    const auto [low, high] = std::minmax_element(options.cycles.begin(), options.cycles.end());
    if (*high >= table.cycles.size()) {
      throw FitError("cycle " + std::to_string(*high + 1) + " does not exist: the record has " +
                     std::to_string(table.cycles.size()) + " cycle(s)");
    }
    pr.first = table.cycles[*low].first, pr.last = table.cycles[*high].last;
  }
}

// The cycles wholly inside the samples that count.
std::vector<std::size_t> CyclesWithin(const CycleTable& table, const RecordProblem& pr) {
  std::vector<std::size_t> inside;
  for (std::size_t i = 0; i < table.cycles.size(); ++i) {
    if (table.cycles[i].first >= pr.first && table.cycles[i].last <= pr.last) inside.push_back(i);
  }
  return inside;
}

// Marks the free parameters and returns where the search starts: the knee
// estimate of the widest cycle with the held and given values put in, then
// the scan's best n, γ, Uy (and its α, Fy) for those not given.
Parameters StartingValues(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                          std::size_t widest, const FitOptions& options, RecordProblem& pr) {
  Parameters start = GivenStart(KneeEstimate(u, F, table.cycles[widest]), options, pr.free.data());
  pr.free[kZ0] = options.fitZ0;
  pr.z0 = options.z0;
  pr.base = start;
  for (std::size_t i = 0; i < kFreeCount; ++i) {
    if (pr.free[i]) pr.freeIndex.push_back(i);
  }
  if (ScanWanted(options, pr.free.data())) {
    RecordProblem frame = pr;
    HoldGivenInScan(options, frame.free.data());
    TakeScanned(ScanStart(frame, start), options, pr.free.data(), start);
  }
  pr.base = start;
  return start;
}

// The model along the samples that count, the misfit, and each cycle's
// area under the model beside its measured one.
void FittedRecord(const RecordProblem& pr, const CycleTable& table, const std::vector<std::size_t>& cycles,
                  FitResult& result) {
  const std::vector<double>& u = *pr.u;
  const std::vector<double>& F = *pr.F;
  std::vector<double> z;
  if (!ZAlong(u, pr.last, result.parameters, result.z0, z)) {
    throw FitError("the model has no response at the fitted parameters");
  }
  const Parameters& p = result.parameters;
  const double elastic = p.alpha * p.Fy, hysteretic = (1.0 - p.alpha) * p.Fy;
  std::vector<double> model(u.size());
  double ss = 0.0;
  for (std::size_t k = pr.first; k <= pr.last; ++k) {
    model[k] = elastic * (u[k] / p.Uy) + hysteretic * z[k];
    const double r = model[k] - F[k];
    ss += r * r;
    result.points.push_back(k);
    result.modelF.push_back(model[k]);
  }
  result.rms = std::sqrt(ss / static_cast<double>(pr.Rows()));
  double scale = 0.0;
  for (std::size_t c : cycles) {
    const Cycle& cycle = table.cycles[c];
    const std::vector<double> cu(u.begin() + cycle.first, u.begin() + cycle.last + 1);
    const std::vector<double> cF(model.begin() + cycle.first, model.begin() + cycle.last + 1);
    result.cycles.push_back({c, 0.5 * (cycle.uPlus - cycle.uMinus), cycle.EDC, ShoelaceArea(cu, cF)});
    scale += cycle.FPlus;
  }
  if (!cycles.empty()) {
    scale /= static_cast<double>(cycles.size());
  } else {
    for (std::size_t k = pr.first; k <= pr.last; ++k) scale = std::max(scale, std::fabs(F[k]));
  }
  result.rmsRelative = result.rms / scale;
}

}  // namespace

FitResult FitRecord(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                    const FitOptions& options) {
  RecordProblem pr;
  pr.u = &u;
  pr.F = &F;
  ChooseSamples(table, options, u.size(), pr);
  try {
    response::CheckHistory(u, Parameters{.n = 1.0, .gamma = 0.5, .alpha = 0.0, .Fy = 1.0, .Uy = 1.0});
  } catch (const response::ResponseError& e) {
    throw FitError(e.what());
  }
  if (!(std::fabs(options.z0) < 1.0))
    throw FitError("z0 must lie between -1 and 1: " + decimal::ShortestText(options.z0));
  std::vector<std::size_t> cycles = CyclesWithin(table, pr);
  std::vector<std::size_t> judged = cycles;
  if (judged.empty()) {
    judged.resize(table.cycles.size());
    for (std::size_t i = 0; i < judged.size(); ++i) judged[i] = i;
  }
  const ChosenCycles summary = CheckHysteresis(table, judged);
  // A long record: starting values and the search on the thinned copy.
  Sketch sketch;
  RecordProblem copy;
  const bool sketched = pr.last + 1 > kSketchSamples;
  if (sketched) {
    sketch = SketchOf(u, F, table, pr.first, pr.last);
    copy.u = &sketch.u, copy.F = &sketch.F;
    copy.first = sketch.first, copy.last = sketch.last;
    copy.rootWeight = sketch.rootWeight;
  }
  RecordProblem& searched = sketched ? copy : pr;
  if (options.progress) options.progress("scan for starting values");
  const Parameters start = StartingValues(u, F, table, summary.largest, options, searched);
  if (sketched) pr.free = copy.free, pr.freeIndex = copy.freeIndex, pr.base = copy.base, pr.z0 = copy.z0;

  FitResult result;
  result.steady = false;
  result.startingValues = start;
  for (std::size_t i = 0; i < 5; ++i) result.fixed[i] = !pr.free[i];
  result.parameters = start;
  result.z0 = pr.z0;
  result.z0Fitted = pr.free[kZ0];
  result.sketchSamples = sketched ? sketch.index.size() : 0;
  if (pr.Rows() <= pr.freeIndex.size()) throw FitError("too few samples for the free parameters");

  if (!pr.freeIndex.empty()) {
    const LeastSquaresProblem problem = ProblemFunctions(searched);
    std::vector<double> x0;
    std::vector<std::string> names;
    for (std::size_t i : pr.freeIndex) {
      x0.push_back(i == kZ0 ? pr.z0 : Get(start, i));
      names.emplace_back(i == kZ0 ? kZ0Name : kParameterNames[i]);
    }
    const std::string what =
        sketched ? "search on " + std::to_string(sketch.index.size()) + " of " + std::to_string(pr.last + 1) + " samples"
                 : std::string("search");
    const Search search = LeastSquares(problem, x0, options.progress, what);

    result.iterations = search.iterations;
    std::vector<double> position = search.position;
    Linearised at = LinearisedAt(problem, search.position);
    // What the copy does not determine the record does not either (its
    // samples weigh what the record's do): refused before any run along
    // every sample.
    CheckIdentifiable(at.J, names);
    CheckConverged(search.end);
    if (sketched) {
      const LeastSquaresProblem full = ProblemFunctions(pr);
      try {
        at.J.resize(full.rows, pr.freeIndex.size());
        at.f.resize(full.rows);
      } catch (const std::bad_alloc&) {
        throw FitError("out of memory for the fit");
      }
      try {
        const Polished polished = Polish(full, pr, search.position, at.J, at.f, options.progress);
        position = polished.position;
        result.iterations += polished.steps;
        CheckIdentifiable(at.J, names);
      } catch (const FitError& e) {
        // Along a displacement that jitters the model loops at every turn,
        // where a force that did not follow the jitter stays put: no set of
        // parameters matches both, and the finish wanders off. The likely
        // cause comes first.
        if (sketch.noiseTurns == 0) throw;
        throw FitError("the displacement turns back by less than " + decimal::ShortestText(100.0 * sketch.noiseBand) +
                       " % of its range at " + std::to_string(sketch.noiseTurns) + " of " +
                       std::to_string(pr.last + 1) +
                       " samples (noise on u?), and the model run along it does not settle on the force: " + e.what() +
                       "; smooth the displacement before fitting");
      }
    }
    for (std::size_t k = 0; k < pr.freeIndex.size(); ++k) {
      if (pr.freeIndex[k] == kZ0) result.z0 = position[k];
      else At(result.parameters, pr.freeIndex[k]) = position[k];
    }
    // z0 may well be 0 (a specimen at rest): its error is judged against
    // the range of z instead.
    std::vector<double> bounds;
    for (std::size_t k = 0; k < pr.freeIndex.size(); ++k) {
      bounds.push_back(pr.freeIndex[k] == kZ0 ? 1.0 : std::fabs(position[k]));
    }
    const std::vector<double> errors = StandardErrors(at, position, names, bounds);
    for (std::size_t k = 0; k < pr.freeIndex.size(); ++k) {
      if (pr.freeIndex[k] == kZ0) result.z0Error = errors[k];
      else result.errors[pr.freeIndex[k]] = errors[k];
    }
  }
  FittedRecord(pr, table, cycles, result);
  return result;
}

}  // namespace quorix::measured::detail
