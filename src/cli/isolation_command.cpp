// quorix-cli isolation: the isolation designer's quantities on the exact
// loop, as four subcommands of one word, since each asks for other inputs
// and answers with other keys: at (the properties at a displacement),
// design (the codes' design displacement), bounds (the property
// modification factors' models and their designs), inverse (the cases with
// a target at D).
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "isolation_command.h"
#include "cli_common.h"
#include "decimal.h"
#include "design.h"
#include "isolation.h"
#include "isolation_bounds.h"
#include "json.h"
#include "numbertext.h"

namespace quorix::cli {

// A number shown in the text report: six significant digits, correctly
// rounded by the decimal room.
std::string Six(double value) {
  if (value == 0.0 || !std::isfinite(value)) return decimal::ShortestText(value);
  const int exponent = static_cast<int>(std::floor(std::log10(std::abs(value))));
  return FormatFixed(value, std::max(0, 5 - exponent));
}

// The work of a subcommand, every refusal of the room a bad command line
// (exit status 2), as a case outside the model's domain is.
void Refusing(const std::function<void()>& work) {
  try {
    work();
  } catch (const BadCommandLine&) {
    throw;
  } catch (const Refusal& e) {
    throw BadCommandLine(e.what());
  }
}

Case CaseOfOptions(IsolationOptions& options) { return ResolveCaseOptions(options.fields, false).c; }

double Bearings(const IsolationOptions& options) {
  const double N = ReadField("--bearings", options.bearings);
  if (!(N >= 1.0) || N != std::floor(N) || !std::isfinite(N)) {
    throw BadCommandLine("--bearings: the number of bearings must be a whole number of at least 1: " + options.bearings);
  }
  return N;
}

// The properties' JSON members and report lines, one bearing and N of them.
JsonObject PropertiesJson(const iso::Properties& p) {
  JsonObject o;
  o.Number("D", p.D).Number("Keff", p.Keff).Number("F", p.Force).Number("EDC", p.EDC);
  o.Number("betaEff", p.betaEff).Number("Qd", p.Qd).Number("Za", p.Za).Number("z0", p.z0);
  return o;
}

// The bilinear loop, or the reason it does not exist.
void AddBilinear(JsonObject& o, const iso::Properties& bearing, double N) {
  try {
    const iso::Bilinear b = iso::System(iso::EquivalentBilinear(bearing), N);
    o.Object("bilinear", JsonObject().Number("Qd", b.Qd).Number("Kd", b.Kd).Number("Dy", b.Dy).Number("Ku", b.Ku));
  } catch (const Refusal& e) {
    o.Null("bilinear").String("bilinear_refusal", e.what());
  }
}

std::string BilinearLines(const iso::Properties& bearing, double N) {
  try {
    const iso::Bilinear b = iso::System(iso::EquivalentBilinear(bearing), N);
    return "  bilinear: Qd " + Six(b.Qd) + "  Kd " + Six(b.Kd) + "  Dy " + Six(b.Dy) + "  Ku " + Six(b.Ku) + "\n";
  } catch (const Refusal& e) {
    return std::string("  bilinear: none (") + e.what() + ")\n";
  }
}

namespace {

void RunAt(IsolationOptions& options) {
  const Case c = CaseOfOptions(options);
  const double N = Bearings(options);
  const double D = ReadField("--D", options.D);
  Refusing([&] {
    const iso::Properties bearing = iso::PropertiesAt(c, D);
    const iso::Properties system = iso::System(bearing, N);
    if (options.json) {
      JsonObject out = JsonObject().Number("bearings", N);
      JsonObject one = PropertiesJson(bearing);
      AddBilinear(one, bearing, 1.0);
      JsonObject all = PropertiesJson(system);
      AddBilinear(all, bearing, N);
      WriteOut(out.Object("bearing", one).Object("system", all).Answer() + "\n");
      return;
    }
    std::string text;
    for (const auto& [name, p, n] : {std::tuple{"bearing", bearing, 1.0}, std::tuple{"system", system, N}}) {
      text += std::string(name) + ": D " + Six(p.D) + "  Keff " + Six(p.Keff) + "  F " + Six(p.Force) + "  EDC " +
              Six(p.EDC) + "  betaEff " + Six(p.betaEff) + "  Qd " + Six(p.Qd) + "\n";
      text += BilinearLines(bearing, n);
    }
    WriteOut(text);
  });
}


void AddCommon(CLI::App& command, IsolationOptions& options) {
  AddCaseOptions(command, options.fields, false);
  // Always the exact loop: the specified arithmetic's flags have no place here.
  for (const char* name : {"--direct", "--complementary", "--accurate"}) command.remove_option(command.get_option(name));
  options.fields.accurate = true;
  command.add_option("--bearings", options.bearings, "N, the number of bearings alike (forces and stiffnesses x N)")
      ->capture_default_str();
}

void AddDesignOptions(CLI::App& command, IsolationOptions& options) {
  CLI::Option* W = command.add_option("--W", options.W, "the seismic weight carried (force)");
  command.add_option("--mass", options.mass, "the seismic mass carried, instead of --W (W = mass g)")->excludes(W);
  command.add_option("--g", options.g, "the acceleration of gravity in the user's length per s^2 (9.81 for m)");
  CLI::Option* S1 =
      command.add_option("--s1", options.S1, "the 5 % spectrum's one-second acceleration S1 in g (Sa = S1/T)");
  command.add_option("--spectrum", options.spectrum, "the 5 % spectrum as T:Sa,T:Sa,... (Sa in g, T rising)")
      ->excludes(S1);
  command.add_option("--code", options.code, "the damping rule: asce7, aashto or en1998")
      ->check(CLI::IsMember({"asce7", "aashto", "en1998"}))
      ->capture_default_str();
  command.add_option("--dmin", options.Dmin, "the lower end of the displacements searched [default: 0.01 Uy]");
  command.add_option("--dmax", options.Dmax, "the upper end of the displacements searched [default: 100 Uy]");
}

}  // namespace

void AddIsolationCommand(CLI::App& app, int& exitCode) {
  CLI::App* isolation = app.add_subcommand("isolation", "an isolation system's properties and design on the exact loop");
  isolation->require_subcommand(1);

  // Each subcommand its own options: the case's options keep pointers to
  // the options they were made with.
  auto atOptions = std::make_shared<IsolationOptions>();
  CLI::App* at = isolation->add_subcommand("at", "Keff, EDC, betaEff, Qd and the equivalent bilinear loop at D");
  AddCommon(*at, *atOptions);
  at->add_option("--D", atOptions->D, "the displacement amplitude D")->required();
  at->add_flag("--json", atOptions->json,
               "print {\"schema\": ..., \"bearings\": N, \"bearing\": {...}, \"system\": {...}}, each with \"D\", "
               "\"Keff\", \"F\", \"EDC\", \"betaEff\", \"Qd\", \"Za\", \"z0\" and \"bilinear\": {\"Qd\", \"Kd\", "
               "\"Dy\", \"Ku\"} (null, with \"bilinear_refusal\", where there is none)");
  at->callback([atOptions, at, &exitCode] {
    RunAnswering(exitCode, *at, atOptions->json, [&] { RunAt(*atOptions); });
  });

  auto designOptions = std::make_shared<IsolationOptions>();
  CLI::App* design = isolation->add_subcommand("design", "the codes' design displacement: every fixed point");
  AddCommon(*design, *designOptions);
  AddDesignOptions(*design, *designOptions);
  design->add_option("--map-points", designOptions->mapPoints,
                     "sample the map D -> next D at this many displacements, evenly spaced in log D over the "
                     "range searched, for a plot of its fixed points (0: none)")
      ->capture_default_str();
  design->add_flag("--json", designOptions->json,
                   "print {\"schema\": ..., \"code\", \"source\", \"start\", \"iterations\", \"reached\", "
                   "\"last\", \"points\": {columns \"D\", \"Keff\", \"Teff\", \"betaEff\", \"B\", \"Sa\", \"F\", "
                   "\"F_bearing\", \"Qd\", \"Kd\", \"Dy\", \"slope\", one entry a fixed point}, with --map-points "
                   "\"map\": {\"D\", \"next\"}, \"bilinear\": {the same for the bilinear loop of the same Fy, "
                   "alpha and Uy}}");
  design->callback([designOptions, design, &exitCode] {
    RunAnswering(exitCode, *design, designOptions->json, [&] { RunDesign(*designOptions); });
  });

  auto boundsOptions = std::make_shared<IsolationOptions>();
  CLI::App* bounds = isolation->add_subcommand(
      "bounds", "lower- and upper-bound models from property modification factors, and their designs");
  AddCommon(*bounds, *boundsOptions);
  AddDesignOptions(*bounds, *boundsOptions);
  bounds->add_option("--lambda-min", boundsOptions->lambdaMin, "the lower bound's factors on Qd and Kd, Q[,K]")
      ->required();
  bounds->add_option("--lambda-max", boundsOptions->lambdaMax, "the upper bound's factors on Qd and Kd, Q[,K]")
      ->required();
  AddAsOption(*bounds, boundsOptions->as, "none");
  bounds->add_flag("--json", boundsOptions->json,
                   "print {\"schema\": ..., \"D\", \"nominal\", \"lower\", \"upper\"}, each with \"case\", "
                   "\"materials\" and \"design\" as design --json gives it");
  bounds->callback([boundsOptions, bounds, &exitCode] {
    RunAnswering(exitCode, *bounds, boundsOptions->json, [&] { RunBounds(*boundsOptions); });
  });
  AddIsolationInverseCommand(*isolation, exitCode);
}

}  // namespace quorix::cli
