// quorix-cli response: the model's exact response along a displacement
// history, sample by sample, and the work of every stretch between
// reversals.
#include <memory>
#include <string>
#include <vector>

#include "cli_common.h"
#include "commands.h"
#include "json.h"
#include "measured_commands.h"
#include "numbertext.h"
#include "record.h"
#include "response.h"

namespace quorix::cli {

namespace {

struct ResponseOptions {
  RecordInput input;
  Case parameters;  // its β is not read: the response takes β = 1 − γ
  double z0 = 0.0;
  bool json = false;
  bool stretches = false;
};

// Output in pieces of about 64 KB: a long history is never held as text.
class Output {
 public:
  void Add(std::string_view text) {
    buffer_ += text;
    if (buffer_.size() >= (1u << 16)) Flush();
  }
  void Flush() {
    WriteOut(buffer_);
    buffer_.clear();
  }

 private:
  std::string buffer_;
};

void WriteStretchTable(const std::vector<response::Stretch>& stretches, const std::vector<double>& u) {
  Output out;
  out.Add("stretch\tfirst\tlast\tu_first\tu_last\twork\n");
  for (std::size_t i = 0; i < stretches.size(); ++i) {
    const response::Stretch& s = stretches[i];
    out.Add(std::to_string(i + 1) + '\t' + std::to_string(s.first + 1) + '\t' + std::to_string(s.last + 1) + '\t' +
            ShortestText(u[s.first]) + '\t' + ShortestText(u[s.last]) + '\t' + ShortestText(s.work) + '\n');
  }
  out.Flush();
}

// Streams the samples as TSV, keeping only the stretches.
std::vector<response::Stretch> WriteSamples(const ResponseOptions& options, const measured::Record& record) {
  const bool measured = !record.F.empty();
  const bool table = !options.stretches;
  Output out;
  if (table) out.Add(measured ? "u\tF\tz\tF_measured\n" : "u\tF\tz\n");
  std::vector<response::Stretch> stretches;
  response::Response r(options.parameters, options.z0, record.u[0]);
  for (std::size_t k = 0; k < record.u.size(); ++k) {
    if (k > 0 && r.Next(record.u[k])) stretches.push_back(r.Closed());
    if (!table) continue;
    std::string line = ShortestText(record.u[k]) + '\t' + ShortestText(r.F()) + '\t' + ShortestText(r.Z());
    if (measured) line += '\t' + ShortestText(record.F[k]);
    line += '\n';
    out.Add(line);
  }
  response::Stretch last;
  if (r.Open(last)) stretches.push_back(last);
  out.Flush();
  return stretches;
}

// A JSON object written as it is made, members and arrays in pieces, as
// JsonObject would write it whole.
class JsonStream {
 public:
  explicit JsonStream(Output& out) : out_(out) {}
  void Open() {
    out_.Add("{");
    first_ = true;
  }
  void Close() {
    out_.Add("}");
    first_ = false;
  }
  void Key(std::string_view key) {
    out_.Add(first_ ? "\"" : ", \"");
    out_.Add(key);
    out_.Add("\": ");
    first_ = false;
  }
  void Number(std::string_view key, double value) {
    Key(key);
    out_.Add(JsonNumberText(value));
  }
  template <class ValueAt>
  void Array(std::string_view key, std::size_t count, const ValueAt& valueAt) {
    Key(key);
    out_.Add("[");
    for (std::size_t k = 0; k < count; ++k) {
      if (k != 0) out_.Add(", ");
      out_.Add(JsonNumberText(valueAt(k)));
    }
    out_.Add("]");
  }

 private:
  Output& out_;
  bool first_ = true;
};

// The model's F and z each from a run of the response of their own, so that
// nothing but the samples and the stretches is held.
void WriteJson(const ResponseOptions& options, const measured::Record& record) {
  Output out;
  JsonStream json(out);
  const std::size_t count = record.u.size();
  json.Open();
  json.Key("schema");
  out.Add("\"" + std::string(kJsonSchema) + "\"");
  json.Number("sample_count", static_cast<double>(count));
  json.Array("u", count, [&](std::size_t k) { return record.u[k]; });
  std::vector<response::Stretch> stretches;
  for (const bool forces : {true, false}) {
    response::Response r(options.parameters, options.z0, record.u[0]);
    json.Array(forces ? "F" : "z", count, [&](std::size_t k) {
      if (k > 0 && r.Next(record.u[k]) && forces) stretches.push_back(r.Closed());
      return forces ? r.F() : r.Z();
    });
    response::Stretch last;
    if (forces && r.Open(last)) stretches.push_back(last);
  }
  if (!record.F.empty()) json.Array("F_measured", count, [&](std::size_t k) { return record.F[k]; });
  json.Key("stretches");
  json.Open();
  json.Array("first", stretches.size(), [&](std::size_t i) { return static_cast<double>(stretches[i].first + 1); });
  json.Array("last", stretches.size(), [&](std::size_t i) { return static_cast<double>(stretches[i].last + 1); });
  json.Array("work", stretches.size(), [&](std::size_t i) { return stretches[i].work; });
  json.Close();
  double total = 0.0;
  for (const response::Stretch& s : stretches) total += s.work;
  json.Number("work", total);
  json.Close();
  out.Add("\n");
  out.Flush();
}

void RunResponse(const ResponseOptions& options) {
  response::CheckParameters(options.parameters, options.z0);
  const measured::Record record = ReadRecordInput(options.input, measured::Columns::kDisplacementWithOptionalForce);
  response::CheckHistory(record.u, options.parameters);
  if (options.json) {
    WriteJson(options, record);
    return;
  }
  const std::vector<response::Stretch> stretches = WriteSamples(options, record);
  if (options.stretches) WriteStretchTable(stretches, record.u);
}

}  // namespace

void AddResponseCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<ResponseOptions>();
  const CaseTexts defaults;
  options->parameters = {.n = ParseNumber(defaults.Nee),
                         .gamma = ParseNumber(defaults.GammaSmall),
                         .alpha = ParseNumber(defaults.AlphaSmall),
                         .Fy = ParseNumber(defaults.Fy),
                         .Uy = ParseNumber(defaults.Uy)};
  CLI::App* command = app.add_subcommand(
      "response",
      "the model's exact response along a displacement history, in closed form (no time steps): at every sample "
      "u, the force F = alpha Fy u/Uy + (1 - alpha) Fy z and z, TAB-separated. The law: "
      "dz/du = (1/Uy)(1 - gamma sign(du) |z|^(n-1) z - beta |z|^n), beta = 1 - gamma. FILE (or - for standard "
      "input): the displacement in one column, or displacement and force (the measured force is then printed "
      "beside the model's as F_measured), in a file as for 'cycles'; of more columns, the force is read when "
      "--F-column or the header names it, or when neither names the displacement either");
  AddRecordInput(*command, options->input, "the history, or - for standard input");
  // The parser converts these itself; the transform holds them to the grammar of every number option.
  const std::pair<const char*, double*> numbers[] = {{"--n", &options->parameters.n},
                                                     {"--gamma", &options->parameters.gamma},
                                                     {"--alpha", &options->parameters.alpha},
                                                     {"--fy", &options->parameters.Fy},
                                                     {"--uy", &options->parameters.Uy},
                                                     {"--z0", &options->z0}};
  const char* meanings[] = {"exponent n > 0",
                            "gamma >= 0 (beta = 1 - gamma)",
                            "alpha, the elastic share of the yield force",
                            "yield force Fy",
                            "yield displacement Uy > 0",
                            "z at the first sample, -1 < z0 < 1 (0: a specimen at rest)"};
  for (std::size_t i = 0; i < std::size(numbers); ++i) {
    command->add_option(numbers[i].first, *numbers[i].second, meanings[i])
        ->transform(CompleteNumberText())
        ->capture_default_str();
  }
  command->add_flag("--stretches", options->stretches,
                    "print the stretches between reversals instead of the samples: first and last sample "
                    "(1-based), u there, and the hysteretic work, the integral of (1 - alpha) Fy z du along it");
  command->add_flag("--json", options->json,
                    "print one object: \"schema\", \"sample_count\", arrays \"u\", \"F\", \"z\" (and "
                    "\"F_measured\"), \"stretches\" with arrays \"first\", \"last\" (1-based) and \"work\", and "
                    "\"work\", their sum");
  command->callback([options, command, &exitCode] {
    RunAnswering(exitCode, *command, options->json, [&] { RunResponse(*options); });
  });
}

}  // namespace quorix::cli
