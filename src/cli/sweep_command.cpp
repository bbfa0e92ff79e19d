// quorix-cli sweep: the results table of the Loop command, byte for byte,
// to standard output or to a file; or its rows as JSON lines. A long sweep
// shows its progress on a terminal, and SIGINT or SIGTERM ends it between
// two rows.
#include <algorithm>
#include <cmath>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

#include "cli_common.h"
#include "material_text.h"
#include "console.h"
#include "json.h"
#include "system_services.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace quorix::cli {

namespace {

struct SweepOptions {
  CaseOptions fields;
  SweepTexts range;
  std::string output;
  bool jsonLines = false;
  bool json = false;  // a refusal answered in JSON too
  bool noProgress = false;
};

// Watches a running sweep from its row hook, on the sweep's own thread
// (no thread of its own to start, which costs more than a short sweep):
// after each row it passes a caught SIGINT or SIGTERM on as a stop request,
// so the sweep ends before the next row, and, when asked to, keeps a
// progress line on standard error once the sweep has run for a second,
// rewritten at most every kInterval. The line is wiped when the watcher
// ends, before anyone else writes to standard error.
class SweepMonitor {
 public:
  static constexpr std::chrono::milliseconds kInterval{100};
  static constexpr std::chrono::seconds kProgressDelay{1};

  SweepMonitor(SweepWatch& watch, const platform::InterruptCatcher& interrupts, bool showProgress)
      : watch_(watch), interrupts_(interrupts), showProgress_(showProgress) {
    watch_.SetRowHook(&SweepMonitor::RowWritten, this);
  }
  ~SweepMonitor() {
    watch_.SetRowHook(nullptr, nullptr);
    if (shown_ > 0) {
      std::fprintf(Settings().err, "\r%*s\r", static_cast<int>(shown_), "");
      std::fflush(Settings().err);
    }
  }
  SweepMonitor(const SweepMonitor&) = delete;
  SweepMonitor& operator=(const SweepMonitor&) = delete;

 private:
  static void RowWritten(SweepWatch& watch, void* context) {
    auto& self = *static_cast<SweepMonitor*>(context);
    if (self.interrupts_.Caught() != 0) watch.RequestStop();
    if (!self.showProgress_ || watch.StopRequested()) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - self.start_ < kProgressDelay || now - self.lastShown_ < kInterval) return;
    self.lastShown_ = now;
    self.Show(std::chrono::duration<double>(now - self.start_).count());
  }

  void Show(double elapsed) {
    const std::int64_t rows = watch_.Rows();
    const std::int64_t written = watch_.RowsWritten();
    std::string line = GroupedCount(written) + " of " + GroupedCount(rows < 0 ? 0 : rows) + " rows, " +
                       GroupedCount(static_cast<std::int64_t>(static_cast<double>(written) / elapsed)) + " rows/s";
    if (const std::string left = SweepTimeLeftText(written, rows, elapsed); !left.empty()) line += ", " + left;
    // Blanks over the rest of a longer line before it.
    const std::size_t width = line.size();
    if (width < shown_) line.append(shown_ - width, ' ');
    std::fprintf(Settings().err, "\r%s", line.c_str());
    std::fflush(Settings().err);
    shown_ = std::max(shown_, width);
  }

  SweepWatch& watch_;
  const platform::InterruptCatcher& interrupts_;
  const bool showProgress_;
  std::size_t shown_ = 0;  // the longest line shown, to wipe
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastShown_{};
};

const char* SignalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
#ifndef _WIN32
    case SIGHUP:
      return "SIGHUP";
    case SIGQUIT:
      return "SIGQUIT";
    case SIGPIPE:
      return "SIGPIPE";
#endif
    default:
      return "a signal";
  }
}

// Flushes standard output; a failure to write it refuses the command.
void FlushSweepOutput() {
  errno = 0;
  if (std::fflush(Settings().out) != 0) {
    throw Refusal("cannot write standard output: " + std::generic_category().message(errno));
  }
}

// Lines with CR LF on standard output, which is already open.
class StandardOutputSink final : public SweepSink {
 public:
  void Open() override {
#ifdef _WIN32
    _setmode(_fileno(Settings().out), _O_BINARY);  // no second CR before each LF
#endif
  }
  void WriteLine(std::string_view line) override {
    WriteOut(line);
    WriteOut("\r\n");
  }
};

// Checks each row of the specified arithmetic against the model's exact
// values on its way to the sink, and afterwards warns once of the rows it
// flagged, naming the worst.
class CheckingSink final : public SweepSink {
 public:
  CheckingSink(SweepSink& inner, bool enabled) : inner_(inner), enabled_(enabled) {}
  void Open() override { inner_.Open(); }
  void WriteLine(std::string_view line) override { inner_.WriteLine(line); }
  void RowWritten(const BoucWenCase& row) override {
    if (enabled_) Check(row);
    inner_.RowWritten(row);
  }
  // The check of the row being written (nothing flagged when disabled).
  const accurate::ResultCheck& Last() const { return last_; }

  void Warn() const {
    if (flaggedRows_ == 0) return;
    std::fprintf(Settings().err,
                 "quorix-cli: warning: in %s of %s rows results lie more than 1e-4 (relative) from the model's exact "
                 "values or have the other sign, where the specified arithmetic loses its digits; the worst at "
                 "Umax/Uy = %s: %s; --accurate computes the exact values\n",
                 GroupedCount(flaggedRows_).c_str(), GroupedCount(rows_).c_str(), ShortestText(worstAt_).c_str(),
                 worstText_.c_str());
  }

 private:
  void Check(const BoucWenCase& row) {
    ++rows_;
    last_ = accurate::CheckAgainstExact(row);
    if (last_.Count() == 0) return;
    ++flaggedRows_;
    const auto values = accurate::CheckedValues(row);
    const int worst = last_.Worst(values);
    const double e = last_.exact[worst];
    const bool sameSign = (values[worst] > 0.0 && e > 0.0) || (values[worst] < 0.0 && e < 0.0);
    const double relative = sameSign ? std::fabs(values[worst] - e) / std::fabs(e) : INFINITY;
    if (flaggedRows_ == 1 || relative > worstRelative_) {
      worstRelative_ = relative;
      worstAt_ = row.UmaxOverUy;
      worstText_ = accurate::FlaggedText(last_, values);
    }
  }

  SweepSink& inner_;
  const bool enabled_;
  accurate::ResultCheck last_;
  std::int64_t rows_ = 0;
  std::int64_t flaggedRows_ = 0;
  double worstRelative_ = 0.0;
  double worstAt_ = 0.0;
  std::string worstText_;
};

// One JSON object a line per row, with the numbers in full: the amplitude,
// the nine results and the derived quantities. The table's own text lines
// are not wanted. Each line goes out whole and at once, so a reader sees the
// rows as they complete and a failure leaves complete lines only.
class JsonLinesSink final : public SweepSink {
 public:
  // `checker` gives each row's check, for its "flagged" and "exact" members.
  void SetChecker(const CheckingSink* checker) { checker_ = checker; }
  void Open() override {}
  void WriteLine(std::string_view /*line*/) override {}
  void RowWritten(const BoucWenCase& row) override {
    JsonObject object;
    object.Number("UmaxOverUy", row.UmaxOverUy);
    const std::array<double, kResultCount> values = ResultValues(row);
    for (int i = 0; i < kResultCount; ++i) object.Number(kResultNames[i], values[i]);
    AddDerivedMembers(object, row);
    if (checker_ != nullptr) AddCheckMembers(object, checker_->Last(), false);
    WriteOut(object.Answer() + "\n");
    FlushSweepOutput();
  }

 private:
  const CheckingSink* checker_ = nullptr;
};

// The file is created, or an existing one truncated, only once the step
// count is known: a sweep that fails before its first byte leaves it alone.
class FileSink final : public SweepSink {
 public:
  FileSink(platform::Services& services, std::string path) : services_(services), path_(std::move(path)) {}
  void Open() override { file_ = services_.OpenForOutput(path_); }
  void WriteLine(std::string_view line) override { file_->WriteLine(line); }
  // Closes the file; throws PlatformError when its tail could not be written.
  void Close() {
    if (file_) file_->Close();
  }

 private:
  platform::Services& services_;
  std::string path_;
  std::unique_ptr<platform::TextFile> file_;
};

// A sweep of more rows than the settings allow (none when the limit is 0) is
// refused before its first row.
void RefuseLongSweep(double from, double to, double step) {
  const std::int64_t limit = Settings().maxSweepRows;
  if (limit > 0 && static_cast<std::int64_t>(SweepStepCount(from, to, step)) + 1 > limit) {
    throw Refusal("sweep of more than " + std::to_string(limit) + " rows refused");
  }
}

// Rows run from From to From + N·Step: an amplitude below zero at either
// end lies outside the model's domain, and is refused as a case's is.
void RefuseNegativeRows(const CaseOptions& fields, const BoucWenCase& inputs, double from, double to, double step) {
  const std::int32_t n = SweepStepCount(from, to, step);
  if (n < 0) return;  // no rows
  const double last = from + step * n;
  const bool first = from < 0.0 || !(last < 0.0);
  RequireAmplitudeInDomain(fields, CaseOf(inputs), first ? from : last, first ? "--from" : "--to");
}

// Progress goes to standard error when a person watches it there, and not
// when the table itself streams to the terminal.
bool ShowsSweepProgress(const SweepOptions& options, bool toStandardOutput) {
  return !options.noProgress && platform::StandardErrorIsTerminal() &&
         (!toStandardOutput || !platform::StandardOutputIsTerminal());
}

// The table's forces are the law's alone: a material's elastic term is refused by name.
void RefuseElasticTerm(const CaseOptions& fields) {
  if (!fields.elastic.Active()) return;
  throw Refusal("--material: the sweep's table has no place for the " + material::ElasticTermText(fields.elastic) +
                "; solve and loop carry it (its energy per cycle is the table's DE)");
}

void RunSweepCommand(SweepOptions& options, int& exitCode) {
  const BoucWenCase inputs = ResolveCaseOptions(options.fields, false).Record();
  RefuseElasticTerm(options.fields);
  const double from = ReadField("--from", options.range.From);
  const double to = ReadField("--to", options.range.To);
  const double step = ReadField("--step", options.range.Step);
  RefuseLongSweep(from, to, step);
  RefuseNegativeRows(options.fields, inputs, from, to, step);
  const CaseSolver solve = SolverFor(options.fields);

  // "-" is standard output, as for every program that takes a file name
  // (a file of that name is "./-").
  const bool toStandardOutput = options.output.empty() || options.output == "-";
  const bool showProgress = ShowsSweepProgress(options, toStandardOutput);
  platform::InterruptCatcher interrupts;
  SweepWatch watch;
  // Returns false when a signal stopped the sweep between two rows, having
  // said so on standard error and set the exit status 128 + the signal's
  // number; the sink's rows up to there are complete.
  const bool check = !options.fields.accurate;
  auto sweep = [&](SweepSink& target) {
    CheckingSink sink(target, check);
    if (auto* lines = dynamic_cast<JsonLinesSink*>(&target)) lines->SetChecker(check ? &sink : nullptr);
    struct WarnAtEnd {
      const CheckingSink& sink;
      ~WarnAtEnd() { sink.Warn(); }
    } warnAtEnd{sink};
    try {
      SweepMonitor monitor(watch, interrupts, showProgress);
      RunSweepRows(inputs, from, to, step, sink, solve, &watch);
      return true;
    } catch (const SweepStopped&) {
      const int signal = interrupts.Caught();
      std::fflush(Settings().out);
      std::fprintf(Settings().err, "quorix-cli: %s: sweep stopped after %s of %s rows\n", SignalName(signal),
                   GroupedCount(watch.RowsWritten()).c_str(), GroupedCount(watch.Rows()).c_str());
      exitCode = 128 + signal;
      return false;
    }
  };

  if (options.jsonLines) {
    JsonLinesSink sink;
    sweep(sink);
    return;
  }
  if (toStandardOutput) {
    StandardOutputSink sink;
    sweep(sink);
    FlushSweepOutput();
    return;
  }
  // On a failure the sink's file is closed as it goes out of scope, keeping
  // the rows written before it.
  platform::SystemServices services;
  FileSink sink(services, options.output);
  sweep(sink);
  sink.Close();  // also after a stop: the rows written must reach the file
}

}  // namespace

void AddSweepCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<SweepOptions>();
  CLI::App* command =
      app.add_subcommand("sweep", "write the results table of a sweep over Umax/Uy (TAB-separated, CR LF)");
  AddCaseOptions(*command, options->fields, false);
  command->add_option("--from", options->range.From, "first Umax/Uy")->capture_default_str();
  command->add_option("--to", options->range.To, "last Umax/Uy, to within half a step")->capture_default_str();
  command->add_option("--step", options->range.Step, "step of Umax/Uy")->capture_default_str();
  CLI::Option* output =
      command->add_option("-o,--output", options->output, "write the table to FILE instead of standard output ('-': standard output)")
          ->check([](const std::string& name) {
            // An empty name (a shell variable that was never set) is no file: writing the
            // table to standard output instead would look like success.
            return name.empty() ? std::string("an empty file name: give FILE, or '-' for standard output")
                                : std::string();
          });
  command
      ->add_flag("--jsonl", options->jsonLines,
                 "print each row as one JSON object a line, as it completes: \"schema\", UmaxOverUy, the nine "
                 "results, XiEq, Ksec and KsecOverK0 in full precision, \"flagged\" (and \"exact\" of the "
                 "flagged names)")
      ->excludes(output);
  command->add_flag("--json", options->json,
                    "answer a refusal on standard output too, after the rows written, as one line "
                    "{\"schema\": ..., \"refusal\": {\"message\": ..., \"option\": ..., \"reason\": ..., \"value\": "
                    "...}}");
  command->add_flag("--no-progress", options->noProgress,
                    "no progress line on standard error, which otherwise appears on a terminal once the sweep has "
                    "run for a second");
  command->footer(
      "SIGINT (Ctrl-C), SIGTERM, SIGHUP (a closed terminal), SIGQUIT or SIGPIPE ends the sweep after the row in "
      "progress: the table holds the header and complete rows only, and the exit status is 128 + the signal's "
      "number (130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP).");
  command->callback(
      [options, command, &exitCode] { RunAnswering(exitCode, *command, options->json, [&] { RunSweepCommand(*options, exitCode); }); });
}

}  // namespace quorix::cli
