// quorix-cli fit: the Bouc-Wen parameters whose closed-form steady loop
// best matches the cycles of a measured record.
#include <algorithm>
#include <array>
#include <chrono>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli_common.h"
#include "console.h"
#include "cycles.h"
#include "fit.h"
#include "json.h"
#include "measured_commands.h"
#include "record.h"
#include "steady_model.h"

namespace quorix::cli {

namespace {

struct FitCommandOptions {
  RecordInput input;
  std::string cycles;  // "I:J", "I", ":J", "I:" (1-based, inclusive); empty: the steady cycles
  std::vector<std::string> fixed;
  std::vector<std::string> start;
  std::string samples;  // "I:J" (1-based, inclusive); empty: every sample
  double deadBand = measured::kDefaultDeadBand;
  double z0 = 0.0;
  bool fitZ0 = false;
  bool steady = false;
  bool json = false;
  std::string as;
  bool noProgress = false;
};

bool ReadCount(std::string_view text, std::size_t& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= 1;
}

// The numbers I..J (from 1) of a range option; an open end runs to `count`.
std::pair<std::size_t, std::size_t> Range(const char* option, const char* what, const std::string& range,
                                          std::size_t count) {
  const std::size_t colon = range.find(':');
  const std::string_view first = std::string_view(range).substr(0, colon);
  const std::string_view last = colon == std::string::npos ? first : std::string_view(range).substr(colon + 1);
  std::size_t i = 1, j = count;
  if ((!first.empty() && !ReadCount(first, i)) || (!last.empty() && !ReadCount(last, j)) ||
      (first.empty() && colon == std::string::npos)) {
    throw Refusal(std::string(option) + " " + range + ": expected I:J with " + what + " numbers from 1");
  }
  if (i > j || j > count) {
    throw Refusal(std::string(option) + " " + range + ": the record has " + what + "s 1 to " +
                  std::to_string(count));
  }
  return {i, j};
}

// The cycle numbers I..J as indices.
std::vector<std::size_t> ChosenCycles(const std::string& range, std::size_t count) {
  std::vector<std::size_t> chosen;
  if (range.empty()) return chosen;
  const auto [i, j] = Range("--cycles", "cycle", range, count);
  for (std::size_t k = i; k <= j; ++k) chosen.push_back(k - 1);
  return chosen;
}

// The fit's stage on one line of standard error, rewritten in place, once
// the fit has run for a second (a short fit shows nothing); wiped at the
// end so that the warnings and a refusal start on a clean line.
class FitProgress {
 public:
  static constexpr std::chrono::seconds kDelay{1};

  void Show(const std::string& what) {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
    if (elapsed < kDelay) return;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, " (%.0f s)", elapsed.count());
    std::string line = "fit: " + what + seconds;
    const std::size_t width = line.size();
    if (width < shown_) line.append(shown_ - width, ' ');
    std::fprintf(Settings().err, "\r%s", line.c_str());
    std::fflush(Settings().err);
    shown_ = std::max(shown_, width);
  }
  ~FitProgress() {
    if (shown_ > 0) {
      std::fprintf(Settings().err, "\r%*s\r", static_cast<int>(shown_), "");
      std::fflush(Settings().err);
    }
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::size_t shown_ = 0;
};

// The fit's options from the command line's, with the record and its
// cycles read; NAME=VALUE are taken before the record is read.
void ChooseWhatCounts(const FitCommandOptions& options, const measured::Record& record,
                      const measured::CycleTable& table, measured::FitOptions& fitOptions) {
  fitOptions.cycles = ChosenCycles(options.cycles, table.cycles.size());
  fitOptions.steady = options.steady;
  fitOptions.z0 = options.z0;
  fitOptions.fitZ0 = options.fitZ0;
  if (!options.samples.empty()) {
    const auto [i, j] = Range("--samples", "sample", options.samples, record.u.size());
    fitOptions.samples = std::pair(i - 1, j - 1);
  }
}

// The fit, with its progress line on a terminal unless asked not to.
measured::FitResult FitShowingProgress(const measured::Record& record, const measured::CycleTable& table,
                                       bool noProgress, measured::FitOptions fitOptions) {
  FitProgress progress;
  if (!noProgress && platform::StandardErrorIsTerminal()) {
    fitOptions.progress = [&progress](const std::string& what) { progress.Show(what); };
  }
  return measured::Fit(record.u, record.F, table, fitOptions);
}

// Each fitted cycle's number (from 1), half-range and the two EDCs.
struct CycleColumns {
  std::vector<double> numbers, halfRange, measuredEDC, modelEDC;
};

CycleColumns CycleColumnsOf(const measured::FitResult& fit) {
  CycleColumns columns;
  for (const measured::CycleFit& c : fit.cycles) {
    columns.numbers.push_back(static_cast<double>(c.cycle + 1));
    columns.halfRange.push_back(c.halfRange);
    columns.measuredEDC.push_back(c.measuredEDC);
    columns.modelEDC.push_back(c.modelEDC);
  }
  return columns;
}

std::vector<double> Numbered(const std::vector<std::size_t>& cycles) {
  std::vector<double> numbers;
  for (std::size_t c : cycles) numbers.push_back(static_cast<double>(c + 1));
  return numbers;
}

// Each other fit as good (fit_types.h): its "parameters" under the fit's
// keys, its misfit, and the parameters that differ from the fit's.
std::vector<JsonObject> OtherFitsJson(const measured::FitResult& fit) {
  constexpr std::array<const char*, 6> kKeys{"n", "gamma", "alpha", "fy", "uy", "z0"};
  std::vector<JsonObject> others;
  for (const measured::OtherFit& other : fit.otherFits) {
    const Case& p = other.parameters;
    const double values[6] = {p.n, p.gamma, p.alpha, p.Fy, p.Uy, other.z0};
    JsonObject parameters, object;
    for (std::size_t i = 0; i < (fit.steady ? 5 : 6); ++i) parameters.Number(kKeys[i], values[i]);
    parameters.Number("beta", 1.0 - p.gamma);
    std::vector<std::string> differs;
    for (std::size_t i : other.differs) differs.emplace_back(kKeys[i]);
    object.Object("parameters", parameters)
        .Number("rms", other.rms)
        .Number("rms_relative", other.rmsRelative)
        .Strings("differs", differs);
    others.push_back(std::move(object));
  }
  return others;
}

// The fit as one JSON object. The keys of quorix.fit's result: the
// parameters as the options and Python's keywords name them, other words
// in snake_case.
void WriteFitJson(const measured::FitResult& fit, const std::vector<std::string>& warnings,
                  const std::string& report) {
  constexpr std::array<const char*, 5> kKeys{"n", "gamma", "alpha", "fy", "uy"};
  const Case& p = fit.parameters;
  const double values[5] = {p.n, p.gamma, p.alpha, p.Fy, p.Uy};
  const CycleColumns columns = CycleColumnsOf(fit);
  JsonObject object, parameters, errors, fixed, intervals;
  for (std::size_t i = 0; i < 5; ++i) {
    parameters.Number(kKeys[i], values[i]);
    errors.Number(kKeys[i], fit.errors[i]);
    fixed.Bool(kKeys[i], fit.fixed[i]);
    intervals.Numbers(kKeys[i], {fit.intervals[i][0], fit.intervals[i][1]});
  }
  if (!fit.steady) {
    parameters.Number("z0", fit.z0);
    errors.Number("z0", fit.z0Error);
    fixed.Bool("z0", !fit.z0Fitted);
    intervals.Numbers("z0", {fit.z0Interval[0], fit.z0Interval[1]});
  }
  parameters.Number("beta", 1.0 - p.gamma);
  object.Object("parameters", parameters)
      .String("fit", fit.steady ? "steady" : "record")
      .Object("errors", errors);
  // The steady fit has no intervals: no key rather than made-up ones.
  if (fit.hasIntervals) object.Object("interval95", intervals);
  object
      .Object("fixed", fixed)
      .Number("rms", fit.rms)
      .Number("rms_relative", fit.rmsRelative)
      .Integer("iterations", fit.iterations)
      .Integer("point_count", static_cast<std::int64_t>(fit.points.size()))
      .Numbers("cycles", columns.numbers)
      .Numbers("half_range", columns.halfRange)
      .Numbers("measured_EDC", columns.measuredEDC)
      .Numbers("model_EDC", columns.modelEDC)
      .Numbers("left_out_steady", Numbered(fit.leftOutSteady))
      .Numbers("left_out_wider", Numbered(fit.leftOutWider))
      .Objects("other_fits", OtherFitsJson(fit))
      .Integer("starts", fit.starts)
      .String("summary", measured::FittedSummary(fit, 1))
      .Strings("warnings", warnings)
      .Object("materials", MaterialJson(measured::SteadyRecord(p, 1.0), 1.0))
      .String("report", report);
  WriteOut(object.Answer() + "\n");
}

// The other fits as good, a row each: their parameters and misfit.
std::string OtherFitsTable(const measured::FitResult& fit) {
  if (fit.otherFits.empty()) return "";
  std::string out = "\nother fits as good (misfit within " + ShortestText(100.0 * measured::kOtherFitShare) +
                    " % of the fit's, outside its " + (fit.hasIntervals ? "95 % intervals" : "two standard errors") +
                    ")\nn\tgamma\talpha\tFy\tUy\t" +
                    (fit.steady ? "" : "z0\t") + "rms misfit\t% of the mean F+\n";
  for (const measured::OtherFit& other : fit.otherFits) {
    const Case& p = other.parameters;
    for (double v : {p.n, p.gamma, p.alpha, p.Fy, p.Uy}) out += ShortestText(v) + '\t';
    if (!fit.steady) out += ShortestText(other.z0) + '\t';
    out += ShortestText(other.rms) + '\t' + ShortestText(100.0 * other.rmsRelative) + '\n';
  }
  return out;
}

// The fit as tables: the parameters with their standard errors, the misfit
// and what was fitted, each fitted cycle's EDC beside the model's, the
// other fits as good, the record's columns and the fitted case's materials.
std::string FitReport(const measured::FitResult& fit, const measured::Record& record, const std::string& as) {
  const Case& p = fit.parameters;
  const double values[5] = {p.n, p.gamma, p.alpha, p.Fy, p.Uy};
  const CycleColumns columns = CycleColumnsOf(fit);
  std::string out = std::string("parameter\tvalue\tstandard error") + (fit.hasIntervals ? "\t95 % interval\n" : "\n");
  const auto interval = [&](bool free, const std::array<double, 2>& bounds) {
    if (!fit.hasIntervals || !free) return std::string();
    return '\t' + ShortestText(bounds[0]) + " ... " + ShortestText(bounds[1]);
  };
  for (std::size_t i = 0; i < 5; ++i) {
    out += std::string(measured::kParameterNames[i]) + '\t' + ShortestText(values[i]) + '\t' +
           (fit.fixed[i] ? std::string("fixed") : ShortestText(fit.errors[i])) + interval(!fit.fixed[i], fit.intervals[i]) +
           '\n';
  }
  if (!fit.steady) {
    out += "z0\t" + ShortestText(fit.z0) + '\t' + (fit.z0Fitted ? ShortestText(fit.z0Error) : std::string("fixed")) +
           interval(fit.z0Fitted, fit.z0Interval) + '\n';
  }
  out += "beta\t" + ShortestText(1.0 - p.gamma) + "\t(1 - gamma)\n";
  out += "\nrms misfit\t" + ShortestText(fit.rms) + "\t" + ShortestText(100.0 * fit.rmsRelative) +
         " % of the mean F+\n";
  if (fit.steady) {
    out += "fit\tsteady loops of the cycles below\n";
  } else if (!fit.points.empty()) {
    out += "fit\tresponse along the record, samples " + std::to_string(fit.points.front() + 1) + " to " +
           std::to_string(fit.points.back() + 1) + "\n";
  }
  out += measured::FittedSummary(fit, 1) + "\n";
  out += "points\t" + std::to_string(fit.points.size()) + "\titerations\t" + std::to_string(fit.iterations) +
         "\tstarts\t" + std::to_string(fit.starts) + "\n";
  out += "\ncycle\td\tEDC measured\tEDC model\n";
  for (std::size_t k = 0; k < columns.numbers.size(); ++k) {
    out += std::to_string(fit.cycles[k].cycle + 1) + '\t' + ShortestText(columns.halfRange[k]) + '\t' +
           ShortestText(columns.measuredEDC[k]) + '\t' + ShortestText(columns.modelEDC[k]) + '\n';
  }
  out += OtherFitsTable(fit);
  const std::string described = DescribeColumns(record);
  if (!described.empty()) out += "\n" + described;
  const std::string materials = MaterialReport(measured::SteadyRecord(p, 1.0), as, 1.0);
  return materials.empty() ? out : out + "\n" + materials;
}

void RunFit(const FitCommandOptions& options) {
  measured::FitOptions fitOptions;
  // Each assignment is checked alone by its option; here they meet.
  try {
    for (const std::string& a : options.fixed) measured::SetParameter(fitOptions.fixed, a);
  } catch (const Refusal& e) {
    throw BadCommandLine(std::string("--fix: ") + e.what());
  }
  try {
    for (const std::string& a : options.start) measured::SetParameter(fitOptions.start, a);
  } catch (const Refusal& e) {
    throw BadCommandLine(std::string("--start: ") + e.what());
  }
  const measured::Record record = ReadRecordInput(options.input);
  const measured::CycleTable table = measured::FindCycles(record.u, record.F, options.deadBand);
  ChooseWhatCounts(options, record, table, fitOptions);
  const measured::FitResult fit = FitShowingProgress(record, table, options.noProgress, std::move(fitOptions));
  // Warnings on standard error whatever the output, so that a script that
  // reads the JSON still leaves them in its log; in the JSON too.
  const std::vector<std::string> warnings = measured::WarningTexts(fit, 1);
  for (const std::string& w : warnings) std::fprintf(Settings().err, "quorix-cli: warning: %s\n", w.c_str());
  const std::string report = FitReport(fit, record, options.as);
  if (options.json) {
    WriteFitJson(fit, warnings, report);
  } else {
    WriteOut(report);
  }
}

// NAME=VALUE checked when the command line is read, so that a bad one is a
// bad command line (status 2) like any other.
const CLI::Validator kAssignment(
    [](std::string& text) {
      try {
        std::array<std::optional<double>, 5> scratch;
        measured::SetParameter(scratch, text);
        return std::string();
      } catch (const Refusal& e) {
        return std::string(e.what());
      }
    },
    "NAME=VALUE");

// I:J checked before the record is read: its form alone, by Range without
// a count (the list of numbers an open end gives would run to the largest
// count, which no memory holds).
const CLI::Validator kCycleRange(
    [](std::string& text) {
      try {
        if (!text.empty()) Range("--cycles", "cycle", text, static_cast<std::size_t>(-1));
        return std::string();
      } catch (const Refusal&) {
        return std::string("expected I:J with numbers from 1, I <= J");
      }
    },
    "I:J");

// What --json prints, for its help.
constexpr const char* kFitJsonHelp =
    "print one object: \"schema\"; \"parameters\" (n, gamma, alpha, fy, uy, (z0), beta), "
                    "\"fit\": \"record\" or \"steady\", \"errors\" and \"fixed\" per parameter, \"interval95\" (record fit: [low, high] per parameter, the "
                    "95 % interval, which holds with noise on u too), \"rms\", "
                    "\"rms_relative\" (rms over the mean F+), \"iterations\", \"point_count\", per fitted cycle: "
                    "\"cycles\", \"half_range\", \"measured_EDC\", \"model_EDC\"; \"left_out_steady\" and "
                    "\"left_out_wider\" (the cycles not fitted); \"other_fits\": other parameter sets that fit as well "
                    "(rms within 1 % of the fit's, outside its 95 % intervals, or its two standard errors where it has none), each with \"parameters\", "
                    "\"rms\", \"rms_relative\" and \"differs\" (the parameters outside); "
                    "\"starts\" (the searches run from the scan's starting points); \"summary\", \"warnings\" (also "
                    "on standard error: a misfit above 10 % of F+, alpha < 0, no steady cycle, fitted points spanning "
                    "less than half the record's displacements, other fits as good); \"materials\": the fitted case as OpenSees, OpenSeesPy and (when "
                    "gamma = 0.5) CSI's Wen link write it; \"report\": the text the command prints without --json; "
                    "a refusal as {\"schema\": ..., \"refusal\": {...}}";

}  // namespace

void AddFitCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<FitCommandOptions>();
  CLI::App* command = app.add_subcommand(
      "fit",
      "fit n, gamma (beta = 1 - gamma), alpha, Fy and Uy to a measured force-displacement record: least squares "
      "on the force at every measured sample against the model's exact response along the measured "
      "displacements from z = z0 at the first sample (virgin loading, transient cycles and every amplitude "
      "count), or with --steady against the closed-form steady loop at each chosen cycle's amplitude; prints "
      "the parameters with their standard errors, the misfit and the model's EDC beside the measured one. "
      "FILE as for 'cycles'. A record whose cycles run mostly counter-clockwise (negative EDC: swapped columns, "
      "or the force's sign reversed) is refused");
  AddRecordInput(*command, options->input, "the record, or - for standard input");
  command->add_option("--cycles", options->cycles,
                      "the cycles to fit, I:J (numbers as 'cycles' prints them, both included; I: or :J for an "
                      "open end): their samples count (the response still runs from the first sample); "
                      "with --steady, default: the steady cycles, or all when none is steady")
      ->check(kCycleRange);
  command->add_option("--samples", options->samples,
                      "the samples that count, I:J (1-based, both included); default: every sample")
      ->check(kCycleRange)
      ->excludes("--cycles");
  command->add_option("--z0", options->z0, "z at the first sample, -1 < z0 < 1 (0: a specimen at rest)")
      ->transform(CompleteNumberText())
      ->capture_default_str();
  command->add_flag("--fit-z0", options->fitZ0, "fit z0 too, starting from --z0");
  command->add_flag("--steady", options->steady,
                    "fit the closed-form steady loops of the chosen cycles instead of the response along the "
                    "record: for records that hold only steady cycles")
      ->excludes("--samples")
      ->excludes("--fit-z0");
  command->add_option("--fix", options->fixed,
                      "hold a parameter at a value, NAME=VALUE with NAME one of n, gamma, beta, alpha, Fy, Uy; "
                      "may be repeated")
      ->allow_extra_args(false)
      ->check(kAssignment);
  command->add_option("--start", options->start,
                      "a starting value instead of the one read off the record, NAME=VALUE; may be repeated")
      ->allow_extra_args(false)
      ->check(kAssignment);
  AddDeadBandOption(*command, options->deadBand, "as for 'cycles'");
  command->add_flag("--no-progress", options->noProgress,
                    "no progress line on standard error (shown on a terminal once the fit takes over a second)");
  command->add_flag("--json", options->json, kFitJsonHelp);
  AddAsOption(*command, options->as, "all");
  command->callback([options, command, &exitCode] {
    RunAnswering(exitCode, *command, options->json, [&] { RunFit(*options); });
  });
}

}  // namespace quorix::cli
