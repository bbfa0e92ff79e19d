// quorix-cli eval: one special function or the amplitude function, with the
// value left in its by-reference result, its status and whether an
// arithmetic fault escaped it.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "accurate.h"
#include "cli_common.h"
#include "energy_solver.h"
#include "json.h"
#include "specialfunctions.h"

namespace quorix::cli {

namespace {

struct EvalOptions {
  std::vector<std::string> names;  // of the positionals, for messages
  std::array<std::string, 4> texts;
  bool json = false;
  bool accurate = false;
};

struct Outcome {
  double value = 0.0;  // the by-reference result starts at zero
  std::int32_t status = 0;
  bool raised = false;
};

using SpecialFunction = std::int32_t (*)(const std::array<double, 4>&, double&);
// The same function in exact mathematics: a value, or a Refusal.
using AccurateFunction = double (*)(const std::array<double, 4>&);

void Report(const Outcome& outcome, bool json) {
  if (json) {
    WriteOut(JsonObject()
                 .Number("value", outcome.value)
                 .Integer("status", outcome.status)
                 .Bool("raised", outcome.raised)
                 .Answer() +
             "\n");
    return;
  }
  std::string line = "value " + ShortestText(outcome.value) + "  status " + std::to_string(outcome.status);
  if (outcome.raised) line += "  (arithmetic fault raised)";
  WriteOut(line + "\n");
}

std::array<double, 4> ReadArguments(const EvalOptions& options) {
  std::array<double, 4> x{};
  for (std::size_t i = 0; i < options.names.size(); ++i) x[i] = ReadField(options.names[i], options.texts[i]);
  return x;
}

CLI::App* AddArguments(CLI::App& parent, const std::string& name, const std::string& description,
                       const std::vector<std::string>& arguments, EvalOptions& options) {
  CLI::App* command = parent.add_subcommand(name, description);
  options.names = arguments;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    command->add_option(arguments[i], options.texts[i], "argument " + arguments[i] + " (number text)")->required();
  }
  command->add_flag("--json", options.json, "print {\"schema\": ..., \"value\": V, \"status\": S, \"raised\": R}");
  AddAsTypedFlag(*command);
  return command;
}

void AddFunction(CLI::App& eval, int& exitCode, const std::string& name, const std::string& description,
                 const std::vector<std::string>& arguments, SpecialFunction function,
                 AccurateFunction accurateFunction = nullptr) {
  auto options = std::make_shared<EvalOptions>();
  CLI::App* command = AddArguments(eval, name, description, arguments, *options);
  if (accurateFunction != nullptr) {
    command->add_flag("--accurate", options->accurate,
                      "the exact value, correct to about the last digit (status 1); arguments outside the "
                      "function's domain are refused");
  }
  command->callback([options, function, accurateFunction, &exitCode] {
    RunReporting(exitCode, [&] {
      const std::array<double, 4> x = ReadArguments(*options);
      Outcome outcome;
      if (options->accurate) {
        outcome.value = accurateFunction(x);
        outcome.status = 1;
        Report(outcome, options->json);
        return;
      }
      try {
        outcome.status = function(x, outcome.value);
      } catch (const FloatingPointFault&) {
        // Only the Gauss evaluator lets faults of its own arithmetic out;
        // the value is whatever it had stored when the fault ended it.
        outcome.raised = true;
      }
      Report(outcome, options->json);
    });
  });
}

}  // namespace

void AddEvalCommand(CLI::App& app, int& exitCode) {
  CLI::App* eval = app.add_subcommand("eval", "evaluate one special function or the amplitude function");
  eval->require_subcommand(1);

  AddFunction(
      *eval, exitCode, "loggamma", "ln Gamma(X)", {"X"},
      [](const std::array<double, 4>& x, double& r) { return LogGamma(x[0], r); },
      [](const std::array<double, 4>& x) { return accurate::LogGamma(x[0]); });
  AddFunction(
      *eval, exitCode, "gamma", "Gamma(X)", {"X"},
      [](const std::array<double, 4>& x, double& r) { return GammaFunction(x[0], r); },
      [](const std::array<double, 4>& x) { return accurate::Gamma(x[0]); });
  AddFunction(
      *eval, exitCode, "digamma", "psi(X)", {"X"},
      [](const std::array<double, 4>& x, double& r) { return Digamma(x[0], r); },
      [](const std::array<double, 4>& x) { return accurate::Digamma(x[0]); });
  AddFunction(
      *eval, exitCode, "series", "the Gauss series of F(A, B; C; Z), term by term", {"A", "B", "C", "Z"},
      [](const std::array<double, 4>& x, double& r) { return HypergeometricSeries(x[0], x[1], x[2], x[3], r); });
  AddFunction(
      *eval, exitCode, "hyp2f1", "the Gauss hypergeometric function F(A, B; C; Z), Z < 1", {"A", "B", "C", "Z"},
      [](const std::array<double, 4>& x, double& r) { return Hypergeometric2F1(x[0], x[1], x[2], x[3], r); },
      [](const std::array<double, 4>& x) { return accurate::Hyp2F1(x[0], x[1], x[2], x[3]); });

  auto options = std::make_shared<EvalOptions>();
  CLI::App* amplitude = AddArguments(*eval, "amplitude", "Umax/Uy of the cycle whose hysteretic variable peaks at X",
                                     {"X", "N", "BETA", "GAMMA"}, *options);
  amplitude->get_option("--json")->description("print {\"schema\": ..., \"value\": V}");
  amplitude->callback([options, &exitCode] {
    RunReporting(exitCode, [&] {
      const std::array<double, 4> x = ReadArguments(*options);
      const double value = DisplacementAmplitude(x[0], x[1], x[2], x[3]);
      WriteOut(options->json ? JsonObject().Number("value", value).Answer() + "\n"
                             : "value " + ShortestText(value) + "\n");
    });
  });
}

}  // namespace quorix::cli
