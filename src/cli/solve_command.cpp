// quorix-cli solve: the Solve command on field texts.
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

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

// The derived quantities' names, captions and texts, with the results'
// nine decimals, in the order solve prints them below the results.
constexpr std::array<const char*, 3> kDerivedNames{"XiEq", "Ksec", "KsecOverK0"};
constexpr std::array<const char*, 3> kDerivedCaptions{"XiEq :", "Ksec :", "Ksec/K0 :"};

std::array<std::string, 3> DerivedTexts(const BoucWenCase& bw) {
  const DerivedQuantities derived = DeriveQuantities(bw);
  return {FormatFixed(derived.XiEq, 9), FormatFixed(derived.Ksec, 9), FormatFixed(derived.KsecOverK0, 9)};
}

// The non-empty lines of a text.
std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    if (end > at) lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

// Beside the numbers, every text the report shows: the results' and the
// derived quantities' texts and captions, and the lines of --as.
void WriteSolveJson(const SolveOptions& options, const BoucWenCase& bw, const accurate::ResultCheck& check) {
  const std::array<double, kResultCount> values = ResultValues(bw);
  const std::array<std::string, kResultCount> texts = ResultTexts(bw);
  const std::array<std::string, kResultCount> resultCaptions = ResultCaptions(bw.Complementary);
  const std::array<std::string, 3> derivedTexts = DerivedTexts(bw);
  JsonObject results, resultTexts, captions, derivedTextObject;
  for (int i = 0; i < kResultCount; ++i) {
    results.Number(kResultNames[i], values[i]);
    resultTexts.String(kResultNames[i], texts[i]);
    captions.String(kResultNames[i], resultCaptions[i]);
  }
  for (std::size_t i = 0; i < kDerivedNames.size(); ++i) {
    derivedTextObject.String(kDerivedNames[i], derivedTexts[i]);
    captions.String(kDerivedNames[i], kDerivedCaptions[i]);
  }
  JsonObject derived;
  AddDerivedMembers(derived, bw);
  JsonObject out;
  out.Object("results", results).Object("texts", resultTexts).Object("derived", derived);
  out.Object("derived_texts", derivedTextObject).Object("captions", captions);
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
  if (!options.fields.accurate) AddCheckMembers(out, check, true);
  if (options.fields.elastic.Active()) {
    out.Object("elastic_term",
               JsonObject().Number("k3", options.fields.elastic.k3).Number("mu", options.fields.elastic.mu));
  }
  out.Object("materials", MaterialJson(bw, options.fields));
  out.Strings("material_lines", LinesOf(MaterialReport(bw, options.as, options.fields)));
  WriteOut(out.Answer() + "\n");
}

void RunSolve(SolveOptions& options) {
  BoucWenCase bw = SolveCaseWith(options.fields, ResolveCaseOptions(options.fields, true));
  // The closed form's values are checked as they are; the elastic term's
  // force at Umax then joins Fela and Fa (and so XiEq, Ksec, Ksec/K0).
  const accurate::ResultCheck check = CheckResults(options.fields, bw);
  WarnOfFlags(check, bw);
  AddElasticTerm(bw, options.fields.elastic);
  if (options.json) {
    WriteSolveJson(options, bw, check);
    return;
  }
  const std::array<std::string, kResultCount> texts = ResultTexts(bw);
  // Captions right-aligned beside the values, as the window shows them.
  const std::array<std::string, kResultCount> captions = ResultCaptions(bw.Complementary);
  auto line = [](const std::string& caption, const std::string& text) {
    return std::string(12 - std::min<std::size_t>(12, caption.size()), ' ') + caption + " " + text + "\n";
  };
  std::string out;
  // A mapped case first, as the options that give it again.
  if (options.fields.mapped) out += "case: " + CaseAsOptions(bw) + "\n";
  if (options.fields.elastic.Active()) {
    out += "elastic term: k3 = " + ShortestText(options.fields.elastic.k3) + ", mu = " +
           ShortestText(options.fields.elastic.mu) + " (its force at Umax in Fela and Fa; DE unchanged)\n";
  }
  for (int i = 0; i < kResultCount; ++i) out += line(captions[i], texts[i]);
  // The derived quantities below them, with the results' decimals.
  const std::array<std::string, 3> derivedTexts = DerivedTexts(bw);
  for (std::size_t i = 0; i < kDerivedNames.size(); ++i) out += line(kDerivedCaptions[i], derivedTexts[i]);
  WriteOut(out + MaterialReport(bw, options.as, options.fields));
}

}  // namespace

void AddSolveCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<SolveOptions>();
  CLI::App* command =
      app.add_subcommand("solve", "solve one case and print its nine results and the derived quantities");
  AddCaseOptions(*command, options->fields, true);
  command->add_flag("--json", options->json,
                    "print {\"schema\": ..., \"results\": {...}, \"texts\": {...}, \"derived\": {...}, "
                    "\"derived_texts\": {...}, \"captions\": {...}, \"flagged\": [...], \"check_bound\": B, "
                    "\"exact\": {...}, \"exact_texts\": {...}, \"materials\": {...}, \"material_lines\": [the "
                    "lines of --as]}, with \"case\": {...} when the case was mapped (without the check under "
                    "--accurate); a refusal as {\"schema\": ..., \"refusal\": {...}}");
  AddAsOption(*command, options->as, "none");
  command->callback([options, command, &exitCode] {
    RunAnswering(exitCode, *command, options->json, [&] { RunSolve(*options); });
  });
}

}  // namespace quorix::cli
