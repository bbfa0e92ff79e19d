// quorix-cli solve: the Solve command on field texts.
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "cli_common.h"
#include "json.h"
#include "numbertext.h"
#include "views.h"

namespace quorix::cli {

namespace {

struct SolveOptions {
  CaseOptions fields;
  bool json = false;
  std::string as;
};

void RunSolve(SolveOptions& options) {
  ResolveCaseOptions(options.fields, true);
  BoucWenCase bw;
  SolveCaseWith(options.fields, bw);

  const std::array<double, kResultCount> values = ResultValues(bw);
  const std::array<std::string, kResultCount> texts = ResultTexts(bw);
  if (options.json) {
    JsonObject results;
    JsonObject resultTexts;
    for (int i = 0; i < kResultCount; ++i) {
      results.Number(kResultNames[i], values[i]);
      resultTexts.String(kResultNames[i], texts[i]);
    }
    JsonObject derived;
    AddDerivedMembers(derived, bw);
    JsonObject out;
    out.Object("results", results).Object("texts", resultTexts).Object("derived", derived);
    if (options.fields.mapped) {
      out.Object("case", JsonObject()
                             .Number("n", bw.Nee)
                             .Number("gamma", bw.GammaSmall)
                             .Number("beta", bw.BetaSmall)
                             .Number("alpha", bw.AlphaSmall)
                             .Number("fy", bw.Fy)
                             .Number("uy", bw.Uy)
                             .Number("UmaxOverUy", bw.UmaxOverUy));
    }
    out.Object("materials", MaterialJson(bw, options.fields.outputA));
    WriteOut(out.Text() + "\n");
    return;
  }
  // Captions right-aligned beside the values, as the window shows them.
  const std::array<std::string, kResultCount> captions = ResultCaptions(bw.Complementary);
  auto line = [](const std::string& caption, const std::string& text) {
    return std::string(12 - std::min<std::size_t>(12, caption.size()), ' ') + caption + " " + text + "\n";
  };
  std::string out;
  // A mapped case first, as the options that give it again.
  if (options.fields.mapped) out += "case: " + CaseAsOptions(bw) + "\n";
  for (int i = 0; i < kResultCount; ++i) out += line(captions[i], texts[i]);
  // The derived quantities below them, with the results' decimals.
  const DerivedQuantities derived = DeriveQuantities(bw);
  out += line("XiEq :", FormatFixed(derived.XiEq, 9));
  out += line("Ksec :", FormatFixed(derived.Ksec, 9));
  out += line("Ksec/K0 :", FormatFixed(derived.KsecOverK0, 9));
  WriteOut(out + MaterialReport(bw, options.as, options.fields.outputA));
}

}  // namespace

void AddSolveCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<SolveOptions>();
  CLI::App* command =
      app.add_subcommand("solve", "solve one case and print its nine results and the derived quantities");
  AddCaseOptions(*command, options->fields, true);
  command->add_flag("--json", options->json,
                    "print {\"results\": {...}, \"texts\": {...}, \"derived\": {...}, \"materials\": {...}}, "
                    "with \"case\": {...} when the case was mapped");
  AddAsOption(*command, options->as, "none");
  command->callback([options, &exitCode] { RunReporting(exitCode, [&] { RunSolve(*options); }); });
}

}  // namespace quorix::cli
