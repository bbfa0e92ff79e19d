#include "cli_common.h"

#include <cmath>

#include "accurate.h"
#include "domain.h"
#include "material.h"
#include "material_text.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <system_error>
#include <variant>

#include "decimal.h"
#include "numbertext.h"
#include "views.h"

namespace quorix::cli {

namespace {
const CliSettings kDefaultSettings;
// One for the process, not per thread: a sweep's helper threads write to the
// same streams as the run that started them.
std::atomic<const CliSettings*> gSettings{&kDefaultSettings};
// --as-typed of the run in progress.
std::atomic<bool> gAsTyped{false};
}  // namespace

const CliSettings& Settings() { return *gSettings.load(std::memory_order_acquire); }

ScopedSettings::ScopedSettings(const CliSettings& settings)
    : previous_(gSettings.exchange(&settings)), previousAsTyped_(gAsTyped.exchange(false)) {}
ScopedSettings::~ScopedSettings() {
  gSettings.store(previous_);
  gAsTyped.store(previousAsTyped_);
}

void AddAsTypedFlag(CLI::App& command) {
  command.add_flag_callback(
      "--as-typed", [] { gAsTyped.store(true); },
      "read every number as the window's field reads it: the number at the start of the text, 0 when there is "
      "none ('2,5' is 2, 'abc' is 0)");
}

void RunReporting(int& exitCode, const std::function<void()>& work) {
  int status = 1;
  try {
    work();
    return;
  } catch (const std::exception& e) {
    // Whatever was already written to standard output (the rows of a sweep
    // before the failing one) goes out before the message.
    std::fflush(Settings().out);
    std::fprintf(Settings().err, "quorix-cli: %s\n", e.what());
    if (dynamic_cast<const BadCommandLine*>(&e) != nullptr) status = 2;
  }
  exitCode = status;
}

double ReadField(std::string_view name, const std::string& text) {
  double value = 0.0;
  try {
    value = ParseNumber(text);
  } catch (const Refusal& e) {
    throw Refusal(std::string(name) + ": " + e.what());
  }
  // A script that mistypes a number is owed an error, not the field's
  // reading of it; the value itself is always the field's, to the bit.
  if (!gAsTyped.load() && !IsCompleteNumber(text)) {
    throw BadCommandLine(std::string(name) + ": \"" + text + "\" is not a number (the decimal point is '.'; " +
                         "--as-typed reads it as the window's field does, as " + ShortestText(value) + ")");
  }
  return value;
}

const CLI::Validator& CompleteNumberText() {
  static const CLI::Validator check(
      [](std::string& text) {
        if (!IsCompleteNumber(text)) return "\"" + text + "\" is not a number (the decimal point is '.')";
        try {
          text = ShortestText(ParseNumber(text));
        } catch (const Refusal& e) {
          return std::string(e.what());
        }
        return std::string();
      },
      "");
  return check;
}

void WriteOut(std::string_view text) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), Settings().out) != text.size()) {
    const int error = errno;
    throw Refusal("cannot write standard output: " +
                         (error != 0 ? std::generic_category().message(error) : std::string("unknown error")));
  }
}

constexpr const char* kMaterialHelp =
    "an OpenSees material without degradation, as Tcl words ('uniaxialMaterial BoucWen 1 alpha ko n gamma beta Ao "
    "0 0 0', or BoucWenOriginal tag E fy alphaL ...), the isolator element ('element elastomericBearingBoucWen "
    "tag iNode jNode kInit qd alpha1 alpha2 mu ...', its shear law) or an OpenSeesPy call; replaces the case's "
    "options";

void AddCaseOptions(CLI::App& command, CaseOptions& options, bool withAmplitude) {
  AddAsTypedFlag(command);
  command.add_option("--n", options.texts.Nee, "Bouc-Wen exponent n")->capture_default_str();
  command
      .add_option("--gamma", options.texts.GammaSmall,
                  "gamma, on the |du/dt| term of dz/dt = (A du/dt - gamma |du/dt| |z|^(n-1) z - beta du/dt |z|^n)/Uy "
                  "(Wen's labelling; OpenSees calls it beta)")
      ->capture_default_str();
  options.beta = command.add_option("--beta", options.texts.BetaSmall,
                                    "beta, on the du/dt term (OpenSees calls it gamma) [default: 1 - gamma, as the "
                                    "window shows it]; the formulas take A = 1 and beta + gamma = 1 unless --model "
                                    "general");
  command.add_option("--alpha", options.texts.AlphaSmall,
                     "alpha, the elastic share: F = alpha (Fy/Uy) u + (1 - alpha) Fy z")
      ->capture_default_str();
  command.add_option("--fy", options.texts.Fy, "yield force Fy")->capture_default_str();
  command.add_option("--uy", options.texts.Uy, "yield displacement Uy")->capture_default_str();
  if (withAmplitude) {
    options.amplitude =
        command.add_option("--u", options.texts.UmaxOverUy, "displacement amplitude Umax/Uy")->capture_default_str();
    options.umax = command.add_option("--umax", options.umaxText, "displacement amplitude Umax itself (not over Uy)");
    options.umax->excludes(options.amplitude);
  }
  CLI::Option* direct = command.add_flag("--direct", options.direct,
                                         "use the Direct loop integrals (beyond saturation, Za = 1, they stop "
                                         "growing with Umax/Uy)");
  CLI::Option* complementary = command.add_flag(
      "--complementary", options.complementary,
      "use the Complementary loop integrals (the default; beyond saturation DE/(Fh Uy) grows by 4 per unit of "
      "Umax/Uy)");
  direct->excludes(complementary);
  command.add_flag("--accurate", options.accurate,
                   "exact mathematics, correct to about the last digit, instead of the specified arithmetic; "
                   "inputs outside the model's domain are refused");
  CLI::Option* model =
      command.add_option("--model", options.model,
                         "normalised: A = 1 and beta + gamma = 1, as the formulas take them; general: Wen's law with "
                         "any A > 0 and beta + gamma > 0, mapped exactly onto the normalised case before solving")
          ->check(CLI::IsMember({"normalised", "general"}))
          ->capture_default_str();
  options.A = command.add_option("--A", options.wenA, "Wen's A, with --model general")->capture_default_str();
  CLI::Option* material = command.add_option("--material", options.material, kMaterialHelp);
  CLI::Option* csi = command.add_option("--csi-wen", options.csiWen,
                                        "CSI's Plastic (Wen) link as k=STIFFNESS,yield=STRENGTH,ratio=POST-YIELD "
                                        "STIFFNESS RATIO,exp=YIELDING EXPONENT; replaces the case's options");
  material->excludes(csi);
  options.materialOption = material;
  options.csiWenOption = csi;
  for (const char* name : {"--n", "--gamma", "--beta", "--alpha", "--fy", "--uy"}) {
    material->excludes(command.get_option(name));
    csi->excludes(command.get_option(name));
  }
  for (CLI::Option* option : {model, options.A}) {
    material->excludes(option);
    csi->excludes(option);
  }
}

CaseSolver SolverFor(const CaseOptions& options) { return options.accurate ? accurate::Solve : SolveEnergy; }

BoucWenCase SolveCaseWith(const CaseOptions& options, const ResolvedCase& resolved) {
  BoucWenCase bw = resolved.Record();
  SolverFor(options)(bw);
  return bw;
}

BranchIntegralFn BranchIntegralFor(const CaseOptions& options) {
  return options.accurate ? accurate::BranchIntegral : nullptr;
}

namespace {

bool Given(const CLI::Option* option) { return option != nullptr && option->count() > 0; }

// A displacement amplitude formed from the typed ones (Umax = u·Uy, or
// Umax/Uy from Umax): refused when it leaves the range of a double, which no
// field could then hold.
double RequireAmplitude(std::string_view name, double value) {
  if (!std::isfinite(value)) {
    throw BadCommandLine(std::string(name) + ": the amplitude it gives is beyond the range of a double");
  }
  return value;
}

// The case a --material, --csi-wen or --model general asks for, or nullopt.
// For the general law an amplitude given over its own Uy becomes Umax,
// set in umax.
std::optional<Case> MappedCase(CaseOptions& options, std::optional<double>& umax) {
  const CaseTexts& t = options.texts;
  options.elastic = {};  // nothing left over from an earlier run of the same options
  options.element.reset();
  // An empty text (a script's unset variable) is no material: refused, not
  // read as "none given", which would solve the default case.
  for (const auto& [option, text] : {std::pair{options.materialOption, &options.material},
                                     std::pair{options.csiWenOption, &options.csiWen}}) {
    if (Given(option) && text->find_first_not_of(" \t") == std::string::npos) {
      throw BadCommandLine(option->get_name() + ": the text is empty");
    }
  }
  try {
    if (!options.material.empty()) {
      const material::OpenSeesMaterial parsed = material::ParseOpenSees(options.material);
      const material::MappedMaterial mapped = material::Map(parsed);
      options.elastic = mapped.elastic;
      if (const auto* bearing = std::get_if<material::ElastomericBearing>(&parsed)) options.element = *bearing;
      return mapped.c;
    }
    if (!options.csiWen.empty()) return material::FromCsiWen(material::ParseCsiWen(options.csiWen));
  } catch (const Refusal& e) {
    throw Refusal(std::string(!options.material.empty() ? "--material" : "--csi-wen") + ": " + e.what());
  }
  if (options.model != "general") {
    if (Given(options.A)) throw Refusal("--A needs --model general (the formulas take A = 1)");
    return std::nullopt;
  }
  Case g;
  g.A = ReadField("--A", options.wenA);
  g.n = ReadField("--n", t.Nee);
  g.gamma = ReadField("--gamma", t.GammaSmall);
  g.beta = Given(options.beta) ? ReadField("--beta", t.BetaSmall) : ParseNumber(FormatPlainNumber(1.0 - g.gamma));
  g.alpha = ReadField("--alpha", t.AlphaSmall);
  g.Fy = ReadField("--fy", t.Fy);
  g.Uy = ReadField("--uy", t.Uy);
  options.outputA = g.A;
  Case c;
  try {
    c = material::Normalise(g);
  } catch (const Refusal& e) {
    throw Refusal(std::string("--model general: ") + e.what());
  }
  // Umax/Uy is given over the general law's own Uy.
  if (!Given(options.umax)) {
    const double u = Given(options.amplitude) ? ReadField("--u", t.UmaxOverUy) : ParseNumber(t.UmaxOverUy);
    umax = RequireAmplitude("--u", u * g.Uy);
  }
  return c;
}

// The amplitude over Uy: --umax over the case's Uy, else --u.
double AmplitudeOver(const CaseOptions& options, std::optional<double> umax, double Uy) {
  if (!umax && Given(options.umax)) umax = ReadField("--umax", options.umaxText);
  if (umax) return RequireAmplitude(Given(options.umax) ? "--umax" : "--u", *umax / Uy);
  return ReadField("--u", options.texts.UmaxOverUy);
}

// The option a breach of the domain names: the field's own, or the
// material's when the case was mapped from one.
std::string OptionOfBreach(const CaseOptions& options, const DomainBreach& breach) {
  if (breach.input == "Umax/Uy") return Given(options.umax) ? "--umax" : "--u";
  if (!options.material.empty()) return "--material";
  if (!options.csiWen.empty()) return "--csi-wen";
  if (options.mapped) return "--model general";
  if (breach.input == "Fy") return "--fy";
  if (breach.input == "Uy") return "--uy";
  if (breach.input == "beta" && !Given(options.beta)) return "--gamma";
  return "--" + breach.input;
}

// A case outside the model's domain is refused, naming the option, its
// value and the range; with --as-typed (the window's reading) it is
// computed as the window computes it, with a warning. The accurate mode
// refuses it either way: it has no value outside.
void Breached(const CaseOptions& options, const DomainBreach& breach, const std::string& option) {
  const std::string message = option + ": " + breach.message + " (outside the model's domain)";
  if (gAsTyped.load() && !options.accurate) {
    std::fprintf(Settings().err, "quorix-cli: warning: %s; computed as the window computes it\n", message.c_str());
    return;
  }
  throw BadCommandLine(message);
}

void CheckDomain(const CaseOptions& options, const ResolvedCase& resolved, bool withAmplitude) {
  const auto breach =
      FindDomainBreach(resolved.c, withAmplitude ? std::optional<double>(resolved.UmaxOverUy) : std::nullopt);
  if (breach) Breached(options, *breach, OptionOfBreach(options, *breach));
}

ResolvedCase ResolveCase(CaseOptions& options, bool withAmplitude);

}  // namespace

ResolvedCase ResolveCaseOptions(CaseOptions& options, bool withAmplitude) {
  const ResolvedCase resolved = ResolveCase(options, withAmplitude);
  CheckDomain(options, resolved, withAmplitude);
  return resolved;
}

namespace {

ResolvedCase ResolveCase(CaseOptions& options, bool withAmplitude) {
  const CaseTexts& t = options.texts;
  ResolvedCase resolved;
  resolved.complementary = !options.direct;
  std::optional<double> umax;
  if (const std::optional<Case> mapped = MappedCase(options, umax)) {
    options.mapped = true;
    resolved.c = *mapped;
    if (withAmplitude) resolved.UmaxOverUy = AmplitudeOver(options, umax, mapped->Uy);
    return resolved;
  }
  Case& c = resolved.c;
  c.n = ReadField("--n", t.Nee);
  const bool betaGiven = Given(options.beta);
  if (betaGiven) c.beta = ReadField("--beta", t.BetaSmall);
  c.gamma = ReadField("--gamma", t.GammaSmall);
  c.alpha = ReadField("--alpha", t.AlphaSmall);
  c.Fy = ReadField("--fy", t.Fy);
  c.Uy = ReadField("--uy", t.Uy);
  if (withAmplitude) resolved.UmaxOverUy = AmplitudeOver(options, std::nullopt, c.Uy);
  // β as the window's field shows it for γ: 1 − γ to 15 digits, read back.
  if (!betaGiven) c.beta = ParseNumber(FormatPlainNumber(1.0 - c.gamma));
  if (betaGiven && material::SumDiffersFromOne(c.beta, c.gamma)) {
    std::fprintf(Settings().err,
                 "quorix-cli: warning: beta + gamma = %s, but the formulas take beta + gamma = 1 (and A = 1); "
                 "for Wen's general law give --model general\n",
                 ShortestText(c.beta + c.gamma).c_str());
  }
  return resolved;
}

}  // namespace

void RequireAmplitudeInDomain(const CaseOptions& options, const Case& c, double UmaxOverUy, const std::string& option) {
  if (const auto breach = FindDomainBreach(c, UmaxOverUy)) Breached(options, *breach, option);
}

BoucWenCase ResolvedCase::Record() const {
  BoucWenCase bw = RecordOf(c, UmaxOverUy);
  bw.Complementary = complementary;
  return bw;
}

accurate::ResultCheck CheckResults(const CaseOptions& options, const BoucWenCase& solved) {
  if (options.accurate) return {};
  return accurate::CheckAgainstExact(solved);
}

void WarnOfFlags(const accurate::ResultCheck& check, const BoucWenCase& solved) {
  const int count = check.Count();
  if (count == 0) return;
  std::fprintf(Settings().err,
               "quorix-cli: warning: %d of the 12 results %s more than 1e-4 (relative) from the model's exact "
               "value%s or %s the other sign, where the specified arithmetic loses its digits: %s; --accurate "
               "computes the exact values\n",
               count, count == 1 ? "lies" : "lie", count == 1 ? "" : "s", count == 1 ? "has" : "have",
               accurate::FlaggedText(check, accurate::CheckedValues(solved)).c_str());
}

void AddCheckMembers(JsonObject& object, const accurate::ResultCheck& check, bool all) {
  std::vector<std::string> flagged;
  JsonObject exact, exactTexts;
  for (int i = 0; i < accurate::kCheckedCount; ++i) {
    if (check.flagged[i]) flagged.emplace_back(accurate::kCheckedNames[i]);
    if (check.available && (all || check.flagged[i])) {
      exact.Number(accurate::kCheckedNames[i], check.exact[i]);
      exactTexts.String(accurate::kCheckedNames[i], FormatFixed(check.exact[i], 9));
    }
  }
  object.Strings("flagged", flagged);
  if (!all) {
    if (!flagged.empty()) object.Object("exact", exact);
    return;
  }
  object.Number("check_bound", accurate::kCheckBound);
  if (check.available) object.Object("exact", exact).Object("exact_texts", exactTexts);
}

std::string CaseAsOptions(const BoucWenCase& bw) {
  return "--n " + ShortestText(bw.Nee) + " --gamma " + ShortestText(bw.GammaSmall) + " --beta " +
         ShortestText(bw.BetaSmall) + " --alpha " + ShortestText(bw.AlphaSmall) + " --fy " + ShortestText(bw.Fy) +
         " --uy " + ShortestText(bw.Uy) + " --u " + ShortestText(bw.UmaxOverUy);
}

void AddAsOption(CLI::App& command, std::string& as, const std::string& defaultValue) {
  as = defaultValue;
  command
      .add_option("--as", as,
                  "also give the case as analysis programs write it: opensees (BoucWen and BoucWenOriginal Tcl "
                  "lines), openseespy (the same as calls), csi-wen (the Wen link's values, when gamma = beta = 0.5), "
                  "all, or none")
      ->check(CLI::IsMember({"opensees", "openseespy", "csi-wen", "all", "none"}))
      ->capture_default_str();
}

std::string MaterialReport(const BoucWenCase& bw, const std::string& as, double Ao) {
  if (as == "none") return "";
  material::MaterialLines lines;
  try {
    lines = material::LinesOf(CaseOf(bw), Ao);
  } catch (const Refusal& e) {
    return std::string("no analysis program's material for this case: ") + e.what() + "\n";
  }
  const bool all = as == "all";
  return material::ReportText(lines, {all || as == "opensees", all || as == "openseespy", all || as == "csi-wen"});
}

namespace {
const material::ElastomericBearing* ElementOf(const CaseOptions& options) {
  return options.element ? &*options.element : nullptr;
}
}  // namespace

std::string MaterialReport(const BoucWenCase& bw, const std::string& as, const CaseOptions& options) {
  if (!options.elastic.Active() && !options.element) return MaterialReport(bw, as, options.outputA);
  if (as == "none") return "";
  if (as == "csi-wen" && options.elastic.Active()) {
    throw Refusal("--as csi-wen: the Wen link has no " + material::ElasticTermText(options.elastic));
  }
  material::MaterialLines lines;
  try {
    lines = material::LinesOf(CaseOf(bw), options.elastic, options.outputA, 1, ElementOf(options));
  } catch (const Refusal& e) {
    return std::string("no analysis program's material for this case: ") + e.what() + "\n";
  }
  const bool all = as == "all";
  return material::ReportText(lines, {all || as == "opensees", all || as == "openseespy", all || as == "csi-wen"});
}

namespace {

// CSI's Wen link of the lines, or null where the case has none.
void CsiWenJson(JsonObject& out, const material::MaterialLines& lines) {
  if (!lines.csiWen) {
    out.Null("csi_wen");
    return;
  }
  out.Object("csi_wen", JsonObject()
                            .Number("k", lines.csiWen->k)
                            .Number("yield", lines.csiWen->yield)
                            .Number("ratio", lines.csiWen->ratio)
                            .Number("exp", lines.csiWen->exp));
}

}  // namespace

JsonObject MaterialJson(const BoucWenCase& bw, const CaseOptions& options) {
  if (!options.elastic.Active() && !options.element) return MaterialJson(bw, options.outputA);
  JsonObject out;
  try {
    const material::MaterialLines lines =
        material::LinesOf(CaseOf(bw), options.elastic, options.outputA, 1, ElementOf(options));
    if (!lines.tclBoucWen.empty()) {
      out.String("opensees_boucwen", lines.tclBoucWen).String("openseespy_boucwen", lines.pythonBoucWen);
    }
    out.String("opensees_boucwen_original", lines.tclOriginal)
        .String("openseespy_boucwen_original", lines.pythonOriginal)
        .String("opensees_elastomeric_bearing", lines.tclElement)
        .String("openseespy_elastomeric_bearing", lines.pythonElement);
    CsiWenJson(out, lines);
    if (options.elastic.Active()) out.String("elastic_term", lines.elasticTerm);
  } catch (const Refusal& e) {
    out.String("unavailable", e.what());
  }
  return out;
}

JsonObject MaterialJson(const BoucWenCase& bw, double Ao) {
  JsonObject out;
  try {
    const material::MaterialLines lines = material::LinesOf(CaseOf(bw), Ao);
    out.String("opensees_boucwen", lines.tclBoucWen)
        .String("opensees_boucwen_original", lines.tclOriginal)
        .String("openseespy_boucwen", lines.pythonBoucWen)
        .String("openseespy_boucwen_original", lines.pythonOriginal);
    CsiWenJson(out, lines);
  } catch (const Refusal& e) {
    out.String("unavailable", e.what());
  }
  return out;
}

void AddDerivedMembers(JsonObject& object, const BoucWenCase& solved) {
  const DerivedQuantities derived = DeriveQuantities(solved);
  object.Number("XiEq", derived.XiEq).Number("Ksec", derived.Ksec).Number("KsecOverK0", derived.KsecOverK0);
}

}  // namespace quorix::cli
