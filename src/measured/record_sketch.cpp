#include "record_sketch.h"

#include <Eigen/Cholesky>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "refusal.h"

namespace quorix::measured::detail {

namespace {

// The steady cycles kept of each run of them, when the copy drops the rest.
constexpr std::size_t kKeptSteady = 2;
// Gauss-Newton steps on the whole record after the copy's search, at most;
// a step below kPolishTolerance of each parameter (of 1 for z0) ends them.
constexpr int kPolishSteps = 6;
constexpr double kPolishTolerance = 1e-10;

// What the copy keeps of samples 0 … last: `must` the samples it keeps
// whatever the stride, `dropped` those of the steady cycles it leaves out,
// `reversals` the turns of the motion among `must`.
struct Marks {
  std::vector<char> must, dropped;
  std::size_t reversals = 0;
};

// Sample 0, the first and last that count, and every turn of the motion
// (every change of the sign of Δu).
Marks EveryTurn(const std::vector<double>& u, std::size_t first, std::size_t last) {
  const std::size_t count = last + 1;
  Marks marks{std::vector<char>(count, 0), std::vector<char>(count, 0)};
  marks.must[0] = marks.must[first] = marks.must[last] = 1;
  int direction = 0;
  for (std::size_t k = 1; k < count; ++k) {
    const double d = u[k] - u[k - 1];
    if (d == 0.0) continue;
    const int s = d > 0.0 ? 1 : -1;
    if (direction != 0 && s != direction) {
      marks.must[k - 1] = 1;
      ++marks.reversals;
    }
    direction = s;
  }
  return marks;
}

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
      if (start != 0) {
        turns[start] = 1;
        ++found;
      }
      if (direction > 0) lo = k; else hi = k;
    } else if (direction > 0 && u[k] < u[hi] - band) {
      turns[hi] = 1;
      ++found;
      direction = -1;
      lo = k;
    } else if (direction < 0 && u[k] > u[lo] + band) {
      turns[lo] = 1;
      ++found;
      direction = 1;
      hi = k;
    }
  }
  return found;
}

// Noise on the displacement turns the motion at most samples, and a copy
// that keeps every turn is no thinner than the record. The copy then
// keeps only the turns that come back more than a band, the smallest of
// 10⁻⁴, 10⁻³, 10⁻² of the displacement range that leaves few enough:
// the noise's small loops, which hardly move z, are passed over in the
// search, and the finish on every sample takes them in again. The turns
// passed over, and the band, go to the sketch.
void PassOverNoise(const std::vector<double>& u, std::size_t first, std::size_t last, Marks& marks, Sketch& sk) {
  if (marks.reversals <= kSketchSamples / 4) return;
  const std::size_t count = last + 1;
  const auto [low, high] = std::minmax_element(u.begin(), u.begin() + static_cast<std::ptrdiff_t>(count));
  for (double share : {1e-4, 1e-3, 1e-2}) {
    const double band = share * (*high - *low);
    std::vector<char> turns(count, 0);
    const std::size_t found = TurnsBeyond(u, count, band, turns);
    if (found <= kSketchSamples / 4 || share == 1e-2) {
      for (std::size_t k = 0; k < count; ++k) marks.must[k] = turns[k] || k == 0 || k == first || k == last;
      sk.noiseTurns = marks.reversals - std::min(marks.reversals, found);
      sk.noiseBand = share;
      marks.reversals = found;
      return;
    }
  }
}

// A run of steady cycles inside the samples that count: the cycles of it
// kept, and the samples its dropped ones held.
struct Run {
  std::vector<std::size_t> kept;
  double droppedSamples = 0.0;
};

// When the turns kept are still too many, drops the steady cycles after
// the first kKeptSteady of each run of them inside first … last. Returns
// the runs.
std::vector<Run> DropSteadyRepeats(const CycleTable& table, std::size_t first, std::size_t last, Marks& marks) {
  std::vector<Run> runs;
  if (marks.reversals <= kSketchSamples / 4) return runs;
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
    for (std::size_t k = previousDropped ? cy.first : cy.first + 1; k < cy.last; ++k) {
      marks.dropped[k] = 1;
      marks.must[k] = 0;
    }
    previousDropped = true;
    runs.back().droppedSamples += static_cast<double>(cy.last - cy.first);
  }
  return runs;
}

// The samples the copy keeps (into sk.index, with the copy's first and
// last that count): every one marked, and every k-th of the others not
// dropped. Returns each kept sample's weight: the samples that count it
// stands for, itself and those passed over since the one kept before.
std::vector<double> Thin(std::size_t first, std::size_t last, const Marks& marks, Sketch& sk) {
  const std::size_t count = last + 1;
  std::size_t kept = 0, between = 0;
  for (std::size_t k = 0; k < count; ++k) {
    if (marks.dropped[k]) continue;
    if (marks.must[k]) ++kept;
    else ++between;
  }
  const std::size_t room = kSketchSamples > kept ? kSketchSamples - kept : 1;
  const std::size_t stride = std::max<std::size_t>(1, (between + room - 1) / room);
  std::vector<double> weight;
  double pending = 0.0;
  std::size_t seen = 0;
  for (std::size_t k = 0; k < count; ++k) {
    if (marks.dropped[k]) continue;
    if (k >= first) pending += 1.0;
    const bool keep = marks.must[k] || (seen++ % stride == 0);
    if (!keep) continue;
    if (k == first) sk.first = sk.index.size();
    if (k == last) sk.last = sk.index.size();
    sk.index.push_back(k);
    weight.push_back(pending);
    pending = 0.0;
  }
  return weight;
}

// A dropped cycle's samples onto the kept cycles of its run.
void SpreadDropped(const std::vector<Run>& runs, const CycleTable& table, const std::vector<std::size_t>& index,
                   std::vector<double>& weight) {
  for (const Run& run : runs) {
    if (run.kept.empty() || run.droppedSamples == 0.0) continue;
    const std::size_t a = table.cycles[run.kept.front()].first;
    const std::size_t b = table.cycles[run.kept.back()].last;
    const auto from = std::upper_bound(index.begin(), index.end(), a) - index.begin();
    const auto to = std::upper_bound(index.begin(), index.end(), b) - index.begin();
    double held = 0.0;
    for (auto j = from; j < to; ++j) held += weight[static_cast<std::size_t>(j)];
    if (held == 0.0) continue;
    const double scale = 1.0 + run.droppedSamples / held;
    for (auto j = from; j < to; ++j) weight[static_cast<std::size_t>(j)] *= scale;
  }
}

}  // namespace

Sketch SketchOf(const std::vector<double>& u, const std::vector<double>& F, const CycleTable& table,
                std::size_t first, std::size_t last) {
  Sketch sk;
  Marks marks = EveryTurn(u, first, last);
  PassOverNoise(u, first, last, marks, sk);
  const std::vector<Run> runs = DropSteadyRepeats(table, first, last, marks);
  std::vector<double> weight = Thin(first, last, marks, sk);
  SpreadDropped(runs, table, sk.index, weight);
  for (std::size_t j = 0; j < sk.index.size(); ++j) {
    sk.u.push_back(u[sk.index[j]]);
    sk.F.push_back(F[sk.index[j]]);
    sk.rootWeight.push_back(std::sqrt(weight[j]));
  }
  return sk;
}

namespace {

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

}  // namespace

// The copy's minimum lies within the noise of the record's, so one or two
// steps do; each costs a run of the response per parameter, as the search's
// own iterations would, without their rejected trials.
Polished Polish(const LeastSquaresProblem& problem, const std::vector<std::size_t>& freeIndex, std::vector<double> x,
                Eigen::MatrixXd& J, Eigen::VectorXd& f, const std::function<void(const std::string&)>& progress) {
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
    if (!problem.jacobian(xv, J)) throw Refusal("the model cannot be evaluated at the fitted parameters");
    // Still moving after every step allowed: the copy's minimum was not
    // near the record's, and a result here would be neither.
    if (step == kPolishSteps) {
      throw Refusal("the fit on every sample did not settle within " + std::to_string(kPolishSteps) +
                    " steps from the thinned copy's minimum; give starting values with NAME=VALUE or fix some "
                    "parameters");
    }
    NormalEquations(J, f, JtJ, Jtf);
    const std::vector<double> delta = GaussNewtonStep(JtJ, Jtf);
    if (delta.empty()) break;  // CheckIdentifiable names what is missing
    bool small = true;
    for (std::size_t k = 0; k < p; ++k) {
      const double size = freeIndex[k] == kZ0 ? 1.0 : std::fabs(x[k]);
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
        x = next;
        ss = trialSS;
        moved = true;
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

}  // namespace quorix::measured::detail
