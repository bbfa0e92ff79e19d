#include "cli_common.h"

#include <cmath>

#include "accurate.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "numbertext.h"
#include "views.h"

namespace quorix::cli {

namespace {
const CliSettings kDefaultSettings;
// One for the process, not per thread: a sweep's helper threads write to the
// same streams as the run that started them.
std::atomic<const CliSettings*> gSettings{&kDefaultSettings};
}  // namespace

const CliSettings& Settings() { return *gSettings.load(std::memory_order_acquire); }

ScopedSettings::ScopedSettings(const CliSettings& settings) : previous_(gSettings.exchange(&settings)) {}
ScopedSettings::~ScopedSettings() { gSettings.store(previous_); }

void RunReporting(int& exitCode, const std::function<void()>& work) {
  try {
    work();
    return;
  } catch (const std::exception& e) {
    // Whatever was already written to standard output (the rows of a sweep
    // before the failing one) goes out before the message.
    std::fflush(Settings().out);
    std::fprintf(Settings().err, "quorix-cli: %s\n", e.what());
  }
  exitCode = 1;
}

double ReadField(std::string_view name, const std::string& text) {
  try {
    return ParseNumber(text);
  } catch (const NumberOutOfRange& e) {
    throw CommandFailure(std::string(name) + ": " + e.what());
  }
}

void WriteOut(std::string_view text) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), Settings().out) != text.size()) {
    const int error = errno;
    throw CommandFailure("cannot write standard output: " +
                         (error != 0 ? std::generic_category().message(error) : std::string("unknown error")));
  }
}

void AddCaseOptions(CLI::App& command, CaseOptions& options, bool withAmplitude) {
  command.add_option("--n", options.texts.Nee, "Bouc-Wen exponent n")->capture_default_str();
  command.add_option("--gamma", options.texts.GammaSmall, "Bouc-Wen parameter gamma")->capture_default_str();
  options.beta = command.add_option("--beta", options.texts.BetaSmall,
                                    "Bouc-Wen parameter beta [default: 1 - gamma, as the window shows it]");
  command.add_option("--alpha", options.texts.AlphaSmall, "elastic share alpha of the yield force")
      ->capture_default_str();
  command.add_option("--fy", options.texts.Fy, "yield force Fy")->capture_default_str();
  command.add_option("--uy", options.texts.Uy, "yield displacement Uy")->capture_default_str();
  if (withAmplitude) {
    command.add_option("--u", options.texts.UmaxOverUy, "displacement amplitude Umax/Uy")->capture_default_str();
  }
  CLI::Option* direct = command.add_flag("--direct", options.direct, "use the Direct loop integrals");
  CLI::Option* complementary =
      command.add_flag("--complementary", options.complementary, "use the Complementary loop integrals (the default)");
  direct->excludes(complementary);
  command.add_flag("--accurate", options.accurate,
                   "exact mathematics, correct to about the last digit, instead of the specified arithmetic; "
                   "inputs outside the model's domain are refused");
}

CaseSolver SolverFor(const CaseOptions& options) { return options.accurate ? accurate::Solve : SolveEnergy; }

void SolveCaseWith(const CaseOptions& options, BoucWenCase& bw) {
  ReadCase(options.texts, bw);
  SolverFor(options)(bw);
}

BranchIntegralFn BranchIntegralFor(const CaseOptions& options) {
  return options.accurate ? accurate::BranchIntegral : nullptr;
}

void ResolveCaseOptions(CaseOptions& options, bool withAmplitude) {
  CaseTexts& t = options.texts;
  ReadField("--n", t.Nee);
  const bool betaGiven = options.beta != nullptr && options.beta->count() > 0;
  if (betaGiven) ReadField("--beta", t.BetaSmall);
  const double gamma = ReadField("--gamma", t.GammaSmall);
  if (!betaGiven) t.BetaSmall = FormatPlainNumber(1.0 - gamma);
  ReadField("--alpha", t.AlphaSmall);
  ReadField("--fy", t.Fy);
  ReadField("--uy", t.Uy);
  if (withAmplitude) ReadField("--u", t.UmaxOverUy);
  t.Complementary = !options.direct;
}

void AddDerivedMembers(JsonObject& object, const BoucWenCase& solved) {
  const DerivedQuantities derived = DeriveQuantities(solved);
  object.Number("XiEq", derived.XiEq).Number("Ksec", derived.Ksec).Number("KsecOverK0", derived.KsecOverK0);
}

}  // namespace quorix::cli
