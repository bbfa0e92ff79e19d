// What the subcommands of quorix-cli share: the failure report, the reading
// of field texts, the case options of solve, loop and sweep, and the JSON
// of the derived quantities.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "check.h"
#include "cli.h"
#include "case.h"
#include "elastic_term.h"
#include "material.h"
#include "commands.h"
#include "json.h"
#include "refusal.h"
#include "views.h"

namespace quorix::cli {

// A value the command line gives that cannot be read (a number option's
// text that is no number): a bad command line, exit status 2.
class BadCommandLine : public Refusal {
 public:
  using Refusal::Refusal;
};

// The settings of the RunCli call in progress: where output and messages
// go, and the size limits. Set for the length of a run; one run at a time.
const CliSettings& Settings();
class ScopedSettings {
 public:
  explicit ScopedSettings(const CliSettings& settings);
  ~ScopedSettings();
  ScopedSettings(const ScopedSettings&) = delete;
  ScopedSettings& operator=(const ScopedSettings&) = delete;

 private:
  const CliSettings* previous_;
  bool previousAsTyped_;
};

// --as-typed: ReadField then reads any text as the window's field does.
void AddAsTypedFlag(CLI::App& command);

// Runs a subcommand's work. Any failure (a number beyond the range of a
// double, a sweep that cannot go on, a file that cannot be written) becomes
// "quorix-cli: <what failed>" on standard error and exit status 1.
void RunReporting(int& exitCode, const std::function<void()>& work);

// ParseNumber of a field's text. A text that is not a complete number
// (IsCompleteNumber), unless --as-typed was given, and a number beyond the
// range of a double are a Refusal that names the field.
double ReadField(std::string_view name, const std::string& text);

// For options that the option parser converts to a double itself: the same
// complete-number grammar as every other number option ('0x10', '2 5' and
// '1e999' refused, exit 2), the text handed on as the shortest text of the
// value read, so that the parser's conversion gives exactly that double.
const CLI::Validator& CompleteNumberText();

// Writes text to the run's output (standard output); throws Refusal
// when it cannot.
void WriteOut(std::string_view text);

// The case's options as typed: the window's field texts, read once by
// ResolveCaseOptions. --beta is optional: without it β is what the window's
// β field shows for the γ given, FormatPlainNumber(1 − γ).
//
// Or the case mapped from elsewhere onto the normalised one: Wen's general
// law (--model general, with --A and β, γ free), an OpenSees material line
// (--material) or CSI's Wen link (--csi-wen).
struct CaseOptions {
  CaseTexts texts;
  CLI::Option* beta = nullptr;
  CLI::Option* amplitude = nullptr;  // --u
  CLI::Option* umax = nullptr;       // --umax
  CLI::Option* A = nullptr;
  CLI::Option* materialOption = nullptr;  // --material
  CLI::Option* csiWenOption = nullptr;    // --csi-wen
  bool direct = false;
  bool complementary = false;
  bool accurate = false;  // exact mathematics instead of the specified arithmetic
  std::string model = "normalised";
  std::string wenA = "1";
  std::string material;
  std::string csiWen;
  std::string umaxText;  // --umax as typed
  // Set by ResolveCaseOptions: the case was mapped (general law, material
  // or link), and the A its OpenSees line is written with.
  bool mapped = false;
  double outputA = 1.0;
  // Set by ResolveCaseOptions: a material's nonlinear elastic term (none
  // unless --material gave one), and whether it was the isolator element,
  // whose lines --as then writes too.
  ElasticTerm elastic;
  std::optional<material::ElastomericBearing> element;
};

void AddCaseOptions(CLI::App& command, CaseOptions& options, bool withAmplitude);

// The case the options give, with its amplitude and formula set.
struct ResolvedCase {
  Case c;
  double UmaxOverUy = 0.0;  // 0 for a command without an amplitude
  bool complementary = true;
  // The solver's record of it, results not yet filled in.
  BoucWenCase Record() const;
};

// Reads the options once, in the order the window reads its fields, so the
// first one beyond the range of a double is the one reported; fills in β
// when --beta was not given; maps a general law, material or link. Unless
// mapped, β + γ differing from 1 beyond the β field's 15 digits is warned of
// once on standard error, since the formulas take it as 1.
ResolvedCase ResolveCaseOptions(CaseOptions& options, bool withAmplitude);

// An amplitude the command reads outside the case's options (a sweep's
// From and last row): refused as ResolveCaseOptions refuses a case outside
// the model's domain, naming `option`; computed with a warning under
// --as-typed unless --accurate.
void RequireAmplitudeInDomain(const CaseOptions& options, const Case& c, double UmaxOverUy, const std::string& option);

// The solver the options ask for: SolveEnergy, or with --accurate the
// accurate path, which refuses inputs outside the model's domain by
// throwing (a failure of the command that names the input).
CaseSolver SolverFor(const CaseOptions& options);

// The resolved case solved by the solver the options ask for.
BoucWenCase SolveCaseWith(const CaseOptions& options, const ResolvedCase& resolved);

// The branch integrals the loop of a solved record needs, in the
// arithmetic the options ask for.
BranchIntegralFn BranchIntegralFor(const CaseOptions& options);

// How far a solved record of the specified arithmetic lies from the exact
// values: unavailable (nothing flagged) with --accurate, where there is
// nothing to compare.
accurate::ResultCheck CheckResults(const CaseOptions& options, const BoucWenCase& solved);

// One warning on standard error for a solved case whose check flagged results.
void WarnOfFlags(const accurate::ResultCheck& check, const BoucWenCase& solved);

// The check as JSON members: "check_bound", "flagged" (the names), and, where
// the exact values are known, "exact" and "exact_texts" of all twelve
// (every name when `all`, else the flagged ones alone).
void AddCheckMembers(JsonObject& object, const accurate::ResultCheck& check, bool all);

// The case's inputs as options that give it again ("--n 2 --gamma 0.9 …").
std::string CaseAsOptions(const BoucWenCase& bw);

// The --as option of solve and fit: which programs' lines to print.
void AddAsOption(CLI::App& command, std::string& as, const std::string& defaultValue);

// The case as the programs named by --as write it (opensees, openseespy,
// csi-wen, all, none), as report lines, and as a JSON object of all of them.
std::string MaterialReport(const BoucWenCase& bw, const std::string& as, double Ao);
JsonObject MaterialJson(const BoucWenCase& bw, double Ao);
// The same for a case read from --material: with its elastic term the forms
// that cannot hold it say so, and --as csi-wen alone is refused naming it;
// the element's lines when the case carries a term or came from the element.
std::string MaterialReport(const BoucWenCase& bw, const std::string& as, const CaseOptions& options);
JsonObject MaterialJson(const BoucWenCase& bw, const CaseOptions& options);

// The three derived quantities of a solved record as JSON members
// "XiEq", "Ksec" and "KsecOverK0", added to the object.
void AddDerivedMembers(JsonObject& object, const BoucWenCase& solved);

void AddEvalCommand(CLI::App& app, int& exitCode);
void AddSolveCommand(CLI::App& app, int& exitCode);
void AddSweepCommand(CLI::App& app, int& exitCode);
void AddLoopCommand(CLI::App& app, int& exitCode);
void AddTextCommands(CLI::App& app, int& exitCode);
void AddIsolationCommand(CLI::App& app, int& exitCode);

}  // namespace quorix::cli
