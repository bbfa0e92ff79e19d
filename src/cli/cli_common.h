// What the subcommands of quorix-cli share: the failure report, the reading
// of field texts, the case options of solve, loop and sweep, and the JSON
// of the derived quantities.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "cli.h"
#include "commands.h"
#include "json.h"
#include "views.h"

namespace quorix::cli {

// A command that cannot do its work. Reported as one line on standard
// error, exit status 1.
class CommandFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
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
};

// Runs a subcommand's work. Any failure (a number beyond the range of a
// double, a sweep that cannot go on, a file that cannot be written) becomes
// "quorix-cli: <what failed>" on standard error and exit status 1.
void RunReporting(int& exitCode, const std::function<void()>& work);

// ParseNumber of a field's text; a number beyond the range of a double is a
// CommandFailure that names the field.
double ReadField(std::string_view name, const std::string& text);

// Writes text to the run's output (standard output); throws CommandFailure
// when it cannot.
void WriteOut(std::string_view text);

// The case's fields as the window's text boxes hold them. --beta is
// optional: without it β is what the window's β field shows for the γ
// given, FormatPlainNumber(1 − γ).
struct CaseOptions {
  CaseTexts texts;
  CLI::Option* beta = nullptr;
  bool direct = false;
  bool complementary = false;
  bool accurate = false;  // exact mathematics instead of the specified arithmetic
};

void AddCaseOptions(CLI::App& command, CaseOptions& options, bool withAmplitude);

// Checks the fields in the order the commands read them, so the first one
// beyond the range of a double is the one reported, fills in β when --beta
// was not given, and sets the option.
void ResolveCaseOptions(CaseOptions& options, bool withAmplitude);

// The solver the options ask for: SolveEnergy, or with --accurate the
// accurate path, which refuses inputs outside the model's domain by
// throwing (a failure of the command that names the input).
CaseSolver SolverFor(const CaseOptions& options);

// ReadCase of the resolved texts, then the solver the options ask for.
void SolveCaseWith(const CaseOptions& options, BoucWenCase& bw);

// The branch integrals the loop of a solved record needs, in the
// arithmetic the options ask for.
BranchIntegralFn BranchIntegralFor(const CaseOptions& options);

// The three derived quantities of a solved record as JSON members
// "XiEq", "Ksec" and "KsecOverK0", added to the object.
void AddDerivedMembers(JsonObject& object, const BoucWenCase& solved);

void AddEvalCommand(CLI::App& app, int& exitCode);
void AddSolveCommand(CLI::App& app, int& exitCode);
void AddSweepCommand(CLI::App& app, int& exitCode);
void AddLoopCommand(CLI::App& app, int& exitCode);
void AddTextCommands(CLI::App& app, int& exitCode);

}  // namespace quorix::cli
