// quorix-cli sweep: the results table of the Loop command, byte for byte,
// to standard output or to a file; or its rows as JSON lines.
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

#include "cli_common.h"
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
};

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

// One JSON object a line per row, with the numbers in full: the amplitude,
// the nine results and the derived quantities. The table's own text lines
// are not wanted. Each line goes out whole and at once, so a reader sees the
// rows as they complete and a failure leaves complete lines only.
class JsonLinesSink final : public SweepSink {
 public:
  void Open() override {}
  void WriteLine(std::string_view /*line*/) override {}
  void RowWritten(const BoucWenCase& row) override {
    JsonObject object;
    object.Number("UmaxOverUy", row.UmaxOverUy);
    const std::array<double, kResultCount> values = ResultValues(row);
    for (int i = 0; i < kResultCount; ++i) object.Number(kResultNames[i], values[i]);
    AddDerivedMembers(object, row);
    WriteOut(object.Text() + "\n");
    errno = 0;
    if (std::fflush(Settings().out) != 0) {
      throw CommandFailure("cannot write standard output: " + std::generic_category().message(errno));
    }
  }
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

void RunSweepCommand(SweepOptions& options) {
  ResolveCaseOptions(options.fields, false);
  const double from = ReadField("--from", options.range.From);
  const double to = ReadField("--to", options.range.To);
  const double step = ReadField("--step", options.range.Step);
  const std::int64_t limit = Settings().maxSweepRows;
  if (limit > 0 && static_cast<std::int64_t>(SweepStepCount(from, to, step)) + 1 > limit) {
    throw CommandFailure("sweep of more than " + std::to_string(limit) + " rows refused");
  }
  BoucWenCase inputs;
  ReadCase(options.fields.texts, inputs);
  const CaseSolver solve = SolverFor(options.fields);
  auto sweep = [&](SweepSink& sink) { RunSweepRows(inputs, from, to, step, sink, solve); };

  if (options.jsonLines) {
    JsonLinesSink sink;
    sweep(sink);
    return;
  }
  if (options.output.empty()) {
    StandardOutputSink sink;
    sweep(sink);
    errno = 0;
    if (std::fflush(Settings().out) != 0) {
      throw CommandFailure("cannot write standard output: " + std::generic_category().message(errno));
    }
    return;
  }
  // On a failure the sink's file is closed as it goes out of scope, keeping
  // the rows written before it.
  platform::SystemServices services;
  FileSink sink(services, options.output);
  sweep(sink);
  sink.Close();
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
      command->add_option("-o,--output", options->output, "write the table to FILE instead of standard output");
  command
      ->add_flag("--jsonl", options->jsonLines,
                 "print each row as one JSON object a line, as it completes: UmaxOverUy, the nine results, XiEq, "
                 "Ksec and KsecOverK0 in full precision")
      ->excludes(output);
  command->callback([options, &exitCode] { RunReporting(exitCode, [&] { RunSweepCommand(*options); }); });
}

}  // namespace quorix::cli
