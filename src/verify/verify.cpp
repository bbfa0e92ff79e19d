#include "verify.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <variant>

#include "decimal.h"
#include "material_text.h"
#include "refuse.h"
#include "response.h"

namespace quorix::verify {

namespace {

// zScale such that the program's hysteretic force `coefficient`·z_program
// equals the model's (1 − α)·Fy·z.
ProgramModel Scaled(const Case& c, double coefficient) {
  return {c, (1.0 - c.alpha) * c.Fy / coefficient};
}

void RequireFiniteSamples(std::span<const double> values, const char* what) {
  for (std::size_t k = 0; k < values.size(); ++k) {
    if (!std::isfinite(values[k])) {
      throw Refusal(std::string(what) + " at sample " + std::to_string(k + 1) + " is not a finite number: " +
                    decimal::ShortestText(values[k]));
    }
  }
}

// Two passes, the second on differences over the largest, so that the sum
// of squares cannot overflow however large the forces.
Difference Compare(std::span<const double> program, const std::vector<double>& exact) {
  Difference d;
  for (std::size_t k = 0; k < exact.size(); ++k) {
    const double diff = std::fabs(program[k] - exact[k]);
    if (diff > d.largest) d.largest = diff, d.at = k;
    d.scale = std::max(d.scale, std::fabs(exact[k]));
  }
  if (d.largest > 0.0) {
    double sum = 0.0;
    for (std::size_t k = 0; k < exact.size(); ++k) {
      const double r = (program[k] - exact[k]) / d.largest;
      sum += r * r;
    }
    d.rms = d.largest * std::sqrt(sum / static_cast<double>(exact.size()));
  }
  d.relative = d.scale > 0.0 ? d.largest / d.scale : (d.largest > 0.0 ? INFINITY : 0.0);
  return d;
}

// The cycles of u, each with its EDC by both forces. Both tables are cut at
// the same reversals (those of u), so their cycles pair one to one.
void AddCycles(Report& report, std::span<const double> u, std::span<const double> F, double deadBand) {
  const std::vector<double> uv(u.begin(), u.end()), Fv(F.begin(), F.end());
  try {
    const measured::CycleTable program = measured::FindCycles(uv, Fv, deadBand);
    const measured::CycleTable exact = measured::FindCycles(uv, report.exactF, deadBand);
    const std::size_t count = std::min(program.cycles.size(), exact.cycles.size());
    for (std::size_t i = 0; i < count; ++i) {
      const measured::Cycle& c = program.cycles[i];
      report.cycles.push_back({c.first, c.last, c.EDC, exact.cycles[i].EDC});
    }
  } catch (const Refusal& e) {
    report.cyclesNote = e.what();
  }
}

Verdict Judge(double relative, const Options& options) {
  if (options.tolerance) return relative <= *options.tolerance ? Verdict::kWithin : Verdict::kExceeds;
  if (relative <= kAgreesBound) return Verdict::kAgrees;
  return relative <= kCloseBound ? Verdict::kClose : Verdict::kDiffers;
}

}  // namespace

std::string RelativeText(double relative) {
  char buffer[64];
  const auto [end, ec] = decimal::WriteScientific(buffer, buffer + sizeof buffer, relative, 2);
  return ec == std::errc() ? std::string(buffer, end) : decimal::ShortestText(relative);
}

ProgramModel ModelOfCase(const Case& c) { return {c, 1.0}; }

ProgramModel ModelOfOpenSees(std::string_view text) {
  const material::OpenSeesMaterial m = material::ParseOpenSees(text);
  const Case c = material::FromOpenSees(m);
  if (const auto* bw = std::get_if<material::OpenSeesBoucWen>(&m)) return Scaled(c, (1.0 - bw->alpha) * bw->ko);
  const auto& original = std::get<material::OpenSeesBoucWenOriginal>(m);
  return Scaled(c, (1.0 - original.alphaL) * original.fy);
}

ProgramModel ModelOfCsiWen(std::string_view text) {
  const material::CsiWen m = material::ParseCsiWen(text);
  return Scaled(material::FromCsiWen(m), (1.0 - m.ratio) * m.yield);
}

Report Verify(std::span<const double> u, std::span<const double> F, std::span<const double> z,
              const ProgramModel& model, const Options& options) {
  if (F.size() != u.size() || (!z.empty() && z.size() != u.size())) {
    throw Refusal("the record's columns differ in length: u " + std::to_string(u.size()) + ", F " +
                  std::to_string(F.size()) + (z.empty() ? std::string() : ", z " + std::to_string(z.size())));
  }
  if (options.tolerance && !(*options.tolerance >= 0.0 && std::isfinite(*options.tolerance))) {
    Refuse("the tolerance must be a finite number >= 0", *options.tolerance);
  }
  response::CheckHistory(u, model.c);
  RequireFiniteSamples(F, "the force");
  RequireFiniteSamples(z, "z");
  Report report;
  report.samples = u.size();
  const double z0 = options.z0 ? *options.z0 : (z.empty() ? 0.0 : z[0] / model.zScale);
  response::CheckParameters(model.c, z0);
  report.z0 = z0 * model.zScale;
  response::History exact = response::RespondAlong(u, model.c, z0);
  report.exactF = std::move(exact.F);
  report.force = Compare(F, report.exactF);
  report.relative = report.force.relative;
  report.exactZ = std::move(exact.z);
  for (double& value : report.exactZ) value *= model.zScale;
  if (!z.empty()) {
    report.z = Compare(z, report.exactZ);
    report.relative = std::max(report.relative, report.z->relative);
  }
  AddCycles(report, u, F, options.deadBand);
  report.verdict = Judge(report.relative, options);
  return report;
}

std::string_view VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::kAgrees: return "agrees";
    case Verdict::kClose: return "close";
    case Verdict::kDiffers: return "differs";
    case Verdict::kWithin: return "within";
    case Verdict::kExceeds: return "exceeds";
  }
  return "";
}

std::string VerdictLine(const Report& report, std::span<const double> u, const Options& options,
                        std::size_t firstSample) {
  const bool zWorse = report.z && report.z->relative > report.force.relative;
  const Difference& worst = zWorse ? *report.z : report.force;
  std::string line;
  switch (report.verdict) {
    case Verdict::kAgrees: line = "the record agrees with the model"; break;
    case Verdict::kClose: line = "the record is close to the model (a time step's error)"; break;
    case Verdict::kDiffers:
      line = "the record differs from the model (a coarse step, an iteration that did not converge, or another "
             "model or initial state)";
      break;
    case Verdict::kWithin: line = "the record is within the tolerance " + decimal::ShortestText(*options.tolerance); break;
    case Verdict::kExceeds: line = "the record exceeds the tolerance " + decimal::ShortestText(*options.tolerance); break;
  }
  return line + ": largest relative difference " + RelativeText(report.relative) + (zWorse ? " (of z)" : " (of F)") +
         ", at sample " + std::to_string(worst.at + firstSample) + " (u = " + decimal::ShortestText(u[worst.at]) + ")";
}

}  // namespace quorix::verify
