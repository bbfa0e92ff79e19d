// quorix-cli isolation design and bounds: the design displacement of the
// model and of its equivalent bilinear loop, and the bound models' designs.
#include <cmath>
#include <string>
#include <vector>

#include "design.h"
#include "isolation_bounds.h"
#include "isolation_command.h"

namespace quorix::cli {

namespace {

// "T:Sa,T:Sa,…" read into the table.
std::vector<std::pair<double, double>> SpectrumTable(const std::string& text) {
  std::vector<std::pair<double, double>> table;
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t end = std::min(text.find(',', at), text.size());
    const std::string row = text.substr(at, end - at);
    const std::size_t colon = row.find(':');
    if (colon == std::string::npos) throw BadCommandLine("--spectrum: a row is T:Sa, not \"" + row + "\"");
    table.emplace_back(ReadField("--spectrum", row.substr(0, colon)), ReadField("--spectrum", row.substr(colon + 1)));
    at = end + 1;
  }
  return table;
}

iso::DesignInput DesignInputOf(const IsolationOptions& options, const Case& c) {
  iso::DesignInput in;
  in.N = Bearings(options);
  if (options.g.empty()) {
    throw BadCommandLine("--g is needed: the spectrum is in g; give g in the user's length per s^2 (9.81 for m)");
  }
  in.g = ReadField("--g", options.g);
  if (options.W.empty() && options.mass.empty()) throw BadCommandLine("--W (or --mass) is needed: the weight carried");
  in.W = options.W.empty() ? ReadField("--mass", options.mass) * in.g : ReadField("--W", options.W);
  if (options.S1.empty() && options.spectrum.empty()) throw BadCommandLine("--s1 or --spectrum is needed");
  if (!options.S1.empty()) in.spectrum.S1 = ReadField("--s1", options.S1);
  if (!options.spectrum.empty()) in.spectrum.table = SpectrumTable(options.spectrum);
  in.code = iso::CodeNamed(options.code);
  in.Dmin = options.Dmin.empty() ? 0.01 * c.Uy : ReadField("--dmin", options.Dmin);
  in.Dmax = options.Dmax.empty() ? 100.0 * c.Uy : ReadField("--dmax", options.Dmax);
  return in;
}

// The fixed points as columns, the system's forces and stiffnesses.
JsonObject DesignJson(const iso::Design& d, const iso::DesignInput& in) {
  std::vector<double> D, Keff, Teff, beta, B, Sa, F, Fb, Qd, Kd, Dy, slope;
  for (const iso::DesignPoint& p : d.points) {
    const iso::Properties s = iso::System(p.bearing, in.N);
    D.push_back(s.D), Keff.push_back(s.Keff), Teff.push_back(p.Teff), beta.push_back(s.betaEff), B.push_back(p.B);
    Sa.push_back(p.Sa), F.push_back(s.Force), Fb.push_back(p.bearing.Force), Qd.push_back(s.Qd);
    const bool exists = iso::BilinearStatusOf(p.bearing) == iso::BilinearStatus::Exists;
    const iso::Bilinear b = exists ? iso::System(iso::EquivalentBilinear(p.bearing), in.N) : iso::Bilinear{NAN, NAN, NAN, NAN};
    Kd.push_back(b.Kd), Dy.push_back(b.Dy), slope.push_back(p.slope);
  }
  JsonObject points;
  points.Numbers("D", D).Numbers("Keff", Keff).Numbers("Teff", Teff).Numbers("betaEff", beta).Numbers("B", B);
  points.Numbers("Sa", Sa).Numbers("F", F).Numbers("F_bearing", Fb).Numbers("Qd", Qd).Numbers("Kd", Kd);
  points.Numbers("Dy", Dy).Numbers("slope", slope);
  JsonObject o;
  o.Number("start", d.start).Integer("iterations", d.iterations).Integer("reached", d.reached);
  return o.Number("last", d.last).Object("points", points);
}

std::string DesignText(const iso::Design& d, const iso::DesignInput& in) {
  std::string text = "  iteration from D = " + Six(d.start) + ": " + std::to_string(d.iterations) + " steps, ";
  text += d.reached >= 0 ? "reaches point " + std::to_string(d.reached + 1) + "\n"
                         : "settles on none (last D " + Six(d.last) + ")\n";
  if (d.points.empty()) return text + "  no fixed point in the range\n";
  int i = 0;
  for (const iso::DesignPoint& p : d.points) {
    const iso::Properties s = iso::System(p.bearing, in.N);
    text += "  " + std::to_string(++i) + ": D " + Six(s.D) + "  Keff " + Six(s.Keff) + "  Teff " + Six(p.Teff) +
            "  betaEff " + Six(s.betaEff) + "  B " + Six(p.B) + "  F " + Six(s.Force) + "  F/bearing " +
            Six(p.bearing.Force) + "  Qd " + Six(s.Qd) + (std::abs(p.slope) < 1.0 ? "  (attracts)" : "  (repels)") +
            "\n";
    text += "  " + BilinearLines(p.bearing, in.N);
  }
  return text;
}

// The model's design, and beside it the design of the bilinear loop with the
// model's own parameters (Qd = (1 − α)·Fy, Kd = α·Fy/Uy, Dy = Uy: the loop
// the model tends to as n grows), which a designer would take for it. (The
// bilinear loop equivalent at a fixed point has that point's Keff and βeff,
// and so the same fixed point: nothing to compare.)
// With the map sampled (mapD not empty), its values at mapD for each loop:
// the fixed points are where the curve D -> next D meets the line y = D.
struct Designs {
  iso::Design model;
  iso::Design bilinear;
  std::vector<double> mapD, mapModel, mapBilinear;
};

// `count` displacements from Dmin to Dmax evenly spaced in log D, the
// scan's own spacing; the ends exactly the range's.
std::vector<double> MapDisplacements(const iso::DesignInput& in, int count) {
  std::vector<double> D;
  const double lo = std::log(in.Dmin);
  const double hi = std::log(in.Dmax);
  for (int i = 0; i < count; ++i) {
    D.push_back(i == 0 ? in.Dmin : i == count - 1 ? in.Dmax : std::exp(lo + (hi - lo) * i / (count - 1)));
  }
  return D;
}

Designs DesignBoth(const Case& c, const iso::DesignInput& in, int mapPoints = 0) {
  Designs d;
  const iso::PropertiesFn model = [&](double D) { return iso::PropertiesAt(c, D); };
  const iso::Bilinear b = iso::ParametersBilinear(c);
  const iso::PropertiesFn bilinear = [&](double D) { return iso::BilinearPropertiesAt(b, D); };
  d.model = iso::DesignDisplacement(in, model);
  d.bilinear = iso::DesignDisplacement(in, bilinear);
  if (mapPoints > 0) d.mapD = MapDisplacements(in, mapPoints);
  for (const double D : d.mapD) {
    d.mapModel.push_back(iso::NextDisplacement(in, model(D)));
    d.mapBilinear.push_back(iso::NextDisplacement(in, bilinear(D)));
  }
  return d;
}

JsonObject DesignsJson(const Designs& d, const iso::DesignInput& in) {
  JsonObject o = DesignJson(d.model, in);
  JsonObject bilinear = DesignJson(d.bilinear, in);
  if (!d.mapD.empty()) {
    o.Object("map", JsonObject().Numbers("D", d.mapD).Numbers("next", d.mapModel));
    bilinear.Object("map", JsonObject().Numbers("D", d.mapD).Numbers("next", d.mapBilinear));
  }
  o.String("code", iso::NameOf(in.code)).String("source", iso::SourceOf(in.code));
  return o.Object("bilinear", bilinear);
}

// --map-points: none (0), or 2 to 10000 samples. A text beyond the range of
// a double is a bad command line like any other count refused here.
int MapPoints(const IsolationOptions& options) {
  double count = 0.0;
  Refusing([&] { count = ReadField("--map-points", options.mapPoints); });
  if (count != 0.0 && !(count >= 2.0 && count <= 10000.0 && count == std::floor(count))) {
    throw BadCommandLine("--map-points: the samples of the map must be 0 or a whole number from 2 to 10000: " +
                         options.mapPoints);
  }
  return static_cast<int>(count);
}

std::string DesignsText(const Designs& d, const iso::DesignInput& in) {
  std::string text = std::string("code: ") + iso::NameOf(in.code) + " (" + iso::SourceOf(in.code) + ")\n";
  text += "model:\n" + DesignText(d.model, in);
  text += "bilinear loop of the same Fy, alpha, Uy (n -> infinity):\n" + DesignText(d.bilinear, in);
  if (!d.mapD.empty()) text += "map: D  next D (model)  next D (bilinear loop)\n";
  for (std::size_t i = 0; i < d.mapD.size(); ++i) {
    text += "  " + Six(d.mapD[i]) + "  " + Six(d.mapModel[i]) + "  " + Six(d.mapBilinear[i]) + "\n";
  }
  return text;
}

iso::Factors FactorsOf(const std::string& option, const std::string& text) {
  const std::size_t comma = text.find(',');
  const double Q = ReadField(option, text.substr(0, comma));
  return {Q, comma == std::string::npos ? Q : ReadField(option, text.substr(comma + 1))};
}

JsonObject CaseJson(const Case& c) {
  return JsonObject().Number("n", c.n).Number("gamma", c.gamma).Number("beta", c.beta).Number("alpha", c.alpha)
      .Number("fy", c.Fy).Number("uy", c.Uy);
}

}  // namespace

void RunDesign(IsolationOptions& options) {
  const Case c = CaseOfOptions(options);
  const iso::DesignInput in = DesignInputOf(options, c);
  const int mapPoints = MapPoints(options);
  Refusing([&] {
    const Designs d = DesignBoth(c, in, mapPoints);
    WriteOut(options.json ? DesignsJson(d, in).Answer() + "\n" : DesignsText(d, in));
  });
}

// The nominal design's displacement D (the point its iteration reaches);
// the bound models at D; the lower bound's design (the largest
// displacement) and the upper bound's (the largest force).
void RunBounds(IsolationOptions& options) {
  const Case c = CaseOfOptions(options);
  const iso::DesignInput in = DesignInputOf(options, c);
  const iso::Factors lower = FactorsOf("--lambda-min", options.lambdaMin);
  const iso::Factors upper = FactorsOf("--lambda-max", options.lambdaMax);
  Refusing([&] {
    const Designs nominal = DesignBoth(c, in);
    if (nominal.model.reached < 0) throw Refusal("the nominal design's iteration settles on no fixed point");
    const double D = nominal.model.points[static_cast<std::size_t>(nominal.model.reached)].bearing.D;
    JsonObject out = JsonObject().Number("D", D).Object("nominal", DesignsJson(nominal, in));
    std::string text = "nominal: D " + Six(D) + "\n";
    for (const auto& [name, f] : {std::pair{"lower", lower}, std::pair{"upper", upper}}) {
      const Case bound = iso::BoundCase(c, D, f);
      const Designs d = DesignBoth(bound, in);
      const BoucWenCase bw = RecordOf(bound, D / bound.Uy);
      out.Object(name, JsonObject().Object("case", CaseJson(bound)).Object("materials", MaterialJson(bw, 1.0))
                           .Object("design", DesignsJson(d, in)));
      text += std::string(name) + " bound: " + CaseAsOptions(bw) + "\n" + MaterialReport(bw, options.as, 1.0) +
              DesignsText(d, in);
    }
    WriteOut(options.json ? out.Answer() + "\n" : text);
  });
}

}  // namespace quorix::cli
