// quorix-cli verify: how far an analysis program's record (u, F and perhaps
// z) lies from the model it was given, by the model's exact response along
// the recorded u from the same initial state.
#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <system_error>
#include <string>
#include <vector>

#include "cli_common.h"
#include "json.h"
#include "measured_commands.h"
#include "numbertext.h"
#include "record.h"
#include "stdio_text_file.h"
#include "system_services.h"
#include "verify.h"

namespace quorix::cli {

namespace {

struct VerifyOptions {
  RecordInput input;
  std::string zColumn;
  CaseOptions model;
  std::string z0Text, toleranceText;
  double deadBand = measured::kDefaultDeadBand;
  bool json = false;
  bool exceeded = false;
};

constexpr const char* kVerifyExitStatus =
    "Exit status: 0 the record was checked (and lies within --tolerance), 1 its largest relative difference "
    "exceeds --tolerance, 2 it could not be checked: a bad command line, a record or model refused.";

// The whole input as text: it is read twice when it has z, once for u and
// F, once for u and z, by the record reader's own rules.
std::string VerifiedRecordText(const RecordInput& input) {
  platform::SystemServices services;
  const auto file = input.path == "-" ? platform::BorrowInputFile(Settings().in, "standard input")
                                      : services.OpenForInput(input.path);
  std::string text;
  char buffer[1 << 16];
  while (const std::size_t got = file->Read(buffer, sizeof buffer)) text.append(buffer, got);
  return text;
}

// The z column: the one --z-column names, else a column named "z" in the
// header, else none.
std::vector<double> ZColumnOf(const VerifyOptions& options, const std::string& text, const measured::Record& record) {
  if (options.zColumn.empty() && !record.header) return {};
  measured::ColumnChoice choice{std::to_string(record.displacement.number),
                                options.zColumn.empty() ? std::string("z") : options.zColumn};
  try {
    return measured::ParseRecord(text, measured::Columns::kDisplacementAndForce, choice).F;
  } catch (const Refusal& e) {
    if (options.zColumn.empty()) return {};
    // The z column is read in the force's place: its refusal names it as z.
    std::string reason = e.what();
    const std::string force = "the force column";
    if (reason.starts_with(force)) reason.replace(0, force.size(), "the z column");
    throw Refusal("--z-column: " + reason);
  }
}

// The model from the case's options, with the scale of the program's z:
// a material's or link's own, the general law's z_u, or 1.
verify::ProgramModel ProgramModelOf(VerifyOptions& options) {
  CaseOptions& m = options.model;
  const ResolvedCase resolved = ResolveCaseOptions(m, false);
  verify::ProgramModel model = verify::ModelOfCase(resolved.c);
  if (!m.material.empty()) model.zScale = verify::ModelOfOpenSees(m.material).zScale;
  if (!m.csiWen.empty()) model.zScale = verify::ModelOfCsiWen(m.csiWen).zScale;
  if (m.mapped && m.material.empty() && m.csiWen.empty()) {
    // Wen's general law: F = α (Fy/Uy) u + (1 − α) Fy z with its own α, Fy.
    const double alpha = ParseNumber(m.texts.AlphaSmall), Fy = ParseNumber(m.texts.Fy);
    model.zScale = (1.0 - resolved.c.alpha) * resolved.c.Fy / ((1.0 - alpha) * Fy);
  }
  return model;
}

std::string DifferenceLine(const char* name, const verify::Difference& d, const std::vector<double>& u) {
  return std::string(name) + ": largest difference " + ShortestText(d.largest) + " at sample " +
         std::to_string(d.at + 1) + " (u = " + ShortestText(u[d.at]) + "), RMS " + ShortestText(d.rms) +
         "; relative " + verify::RelativeText(d.relative) + " (over the model's largest |" + name + "|, " +
         ShortestText(d.scale) + ")\n";
}

// The text report, a line each: the samples and initial state, F, z, the
// cycles' energies, the verdict.
std::vector<std::string> VerifyReportLines(const verify::Report& r, const std::vector<double>& u, bool zGiven,
                                     const verify::Options& o) {
  std::vector<std::string> lines;
  lines.push_back(std::to_string(r.samples) + " samples; the model's response from z = " + ShortestText(r.z0) +
                  (o.z0 ? " (--z0)" : zGiven ? " (the record's first z)" : " (at rest)"));
  std::string text = DifferenceLine("F", r.force, u);
  if (r.z) text += DifferenceLine("z", *r.z, u);
  for (std::size_t i = 0; i < r.cycles.size(); ++i) {
    const verify::CycleEnergy& c = r.cycles[i];
    text += "cycle " + std::to_string(i + 1) + " (samples " + std::to_string(c.first + 1) + " to " +
            std::to_string(c.last + 1) + "): EDC " + ShortestText(c.program) + " by the record, " +
            ShortestText(c.exact) + " by the model\n";
  }
  if (!r.cyclesNote.empty()) text += "no cycle's energy: " + r.cyclesNote + "\n";
  for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
    end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
  }
  lines.push_back("verdict: " + verify::VerdictLine(r, u, o, 1));
  return lines;
}

JsonObject DifferenceJson(const verify::Difference& d, const std::vector<double>& u) {
  JsonObject o;
  o.Number("largest", d.largest).Integer("sample", static_cast<std::int64_t>(d.at + 1)).Number("u", u[d.at]);
  o.Number("rms", d.rms).Number("scale", d.scale).Number("relative", d.relative);
  return o;
}

void WriteVerifyJson(const verify::Report& r, const measured::Record& record, const std::vector<double>& z,
               const verify::Options& o, const std::vector<std::string>& lines) {
  std::vector<double> first, last, program, exact;
  for (const verify::CycleEnergy& c : r.cycles) {
    first.push_back(static_cast<double>(c.first + 1)), last.push_back(static_cast<double>(c.last + 1));
    program.push_back(c.program), exact.push_back(c.exact);
  }
  JsonObject cycles;
  cycles.Numbers("first", first).Numbers("last", last).Numbers("program_EDC", program).Numbers("model_EDC", exact);
  JsonObject object;
  object.Integer("sample_count", static_cast<std::int64_t>(r.samples)).Number("z0", r.z0);
  object.Object("F", DifferenceJson(r.force, record.u));
  if (r.z) object.Object("z", DifferenceJson(*r.z, record.u)); else object.Null("z");
  object.Number("relative", r.relative);
  if (o.tolerance) object.Number("tolerance", *o.tolerance); else object.Null("tolerance");
  object.String("verdict", verify::VerdictName(r.verdict)).String("verdict_text", verify::VerdictLine(r, record.u, o, 1));
  object.Object("cycles", cycles).String("cycles_note", r.cyclesNote);
  object.Numbers("u", record.u).Numbers("program_F", record.F).Numbers("model_F", r.exactF);
  if (!z.empty()) object.Numbers("program_z", z).Numbers("model_z", r.exactZ);
  object.Strings("report", lines);
  WriteOut(object.Answer() + "\n");
}

void RunVerify(VerifyOptions& options) {
  const verify::ProgramModel model = ProgramModelOf(options);
  verify::Options o;
  o.deadBand = options.deadBand;
  if (!options.toleranceText.empty()) o.tolerance = ReadField("--tolerance", options.toleranceText);
  if (!options.z0Text.empty()) o.z0 = ReadField("--z0", options.z0Text) / model.zScale;
  const std::string text = VerifiedRecordText(options.input);
  const measured::Record record = measured::ParseRecord(text, measured::Columns::kDisplacementAndForce,
                                                        options.input.columns);
  const std::vector<double> z = ZColumnOf(options, text, record);
  const verify::Report report = verify::Verify(record.u, record.F, z, model, o);
  const std::vector<std::string> lines = VerifyReportLines(report, record.u, !z.empty(), o);
  if (options.json) {
    WriteVerifyJson(report, record, z, o, lines);
  } else {
    std::string out;
    for (const std::string& line : lines) out += line + '\n';
    WriteOut(out);
  }
  // Exit status 1 means "exceeded" here, so the output is flushed now: a
  // write that fails is a failure of the command (status 2), which the
  // flush at exit would report as 1.
  errno = 0;
  if (std::fflush(Settings().out) != 0) {
    throw Refusal("cannot write standard output: " + std::generic_category().message(errno));
  }
  options.exceeded = report.verdict == verify::Verdict::kExceeds;
}

// The case's options without those of solving (the formula set, the
// arithmetic, the window's reading of numbers): verify only follows the law.
void AddVerifyModelOptions(CLI::App& command, CaseOptions& model) {
  AddCaseOptions(command, model, false);
  for (const char* name : {"--direct", "--complementary", "--accurate", "--as-typed"}) {
    command.remove_option(command.get_option(name));
  }
}

}  // namespace

void AddVerifyCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<VerifyOptions>();
  CLI::App* command = app.add_subcommand(
      "verify",
      "check an analysis program's record against the model it was given: the model's exact response along the "
      "recorded u, from the same initial state, beside the recorded force (and z). Prints the largest difference "
      "of F (and z) with its sample (1-based) and u, the RMS difference, the relative difference (the largest "
      "over the model's largest |F| along the record, likewise for z), each cycle's energy by the record and by "
      "the model, and a verdict: agrees (relative difference at most 1e-6), close (at most 1e-3: a time step's "
      "error), differs (beyond it). FILE (or - for standard input): u and F, and z when --z-column or a header "
      "name 'z' gives it, in a file as for 'cycles'; the program's z in its own units (--material's or "
      "--csi-wen's), which the model's z is scaled to");
  AddRecordInput(*command, options->input, "the program's record, or - for standard input");
  command->add_option("--z-column", options->zColumn,
                      "the program's z: its column number (from 1) or name; default: a column named z, if any");
  AddVerifyModelOptions(*command, options->model);
  command->add_option("--z0", options->z0Text,
                      "z at the first sample in the program's units; default: the record's z there, else 0 (at rest)");
  command->add_option("--tolerance", options->toleranceText,
                      "exit with status 1 when the largest relative difference (of F, or of z when larger) exceeds "
                      "this; the verdict is then within or exceeds");
  AddDeadBandOption(*command, options->deadBand, "the cycles' dead band, as for 'cycles'");
  command->add_flag("--json", options->json,
                    "print one object: \"schema\", \"sample_count\", \"z0\" (the program's units), \"F\" and \"z\" (null without z) each "
                    "with \"largest\", \"sample\" (1-based), \"u\", \"rms\", \"scale\", \"relative\"; \"relative\", "
                    "\"tolerance\" (or null), \"verdict\" (agrees, close, differs, within, exceeds), "
                    "\"verdict_text\", \"cycles\" with arrays \"first\", \"last\" (1-based), \"program_EDC\", "
                    "\"model_EDC\"; \"cycles_note\"; arrays \"u\", \"program_F\", \"model_F\" (and \"program_z\", "
                    "\"model_z\"); \"report\": the text report's lines");
  command->footer(kVerifyExitStatus);
  command->callback([options, command, &exitCode] {
    RunAnswering(exitCode, *command, options->json, [&] { RunVerify(*options); });
    if (exitCode != 0) exitCode = 2;
    else if (options->exceeded) exitCode = 1;
  });
}

}  // namespace quorix::cli
