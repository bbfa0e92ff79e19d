// quorix-cli isolation inverse: the cases whose loop has a target (Keff,
// betaEff) or (Qd, Kd) at D, with n and gamma fixed and Uy or alpha fixed.
#include <memory>
#include <string>
#include <vector>

#include "isolation_command.h"
#include "isolation_inverse.h"

namespace quorix::cli {

namespace {

struct InverseOptions {
  std::string n, gamma, uy, alpha, D, keff, betaEff, qd, kd, as = "none";
  bool json = false;
};

iso::InverseInput InputOf(const InverseOptions& o) {
  iso::InverseInput in;
  if (o.n.empty() || o.gamma.empty() || o.D.empty()) throw BadCommandLine("inverse needs --n, --gamma and --D");
  in.n = ReadField("--n", o.n);
  in.gamma = ReadField("--gamma", o.gamma);
  in.D = ReadField("--D", o.D);
  if (o.uy.empty() == o.alpha.empty()) throw BadCommandLine("inverse fixes one of --uy and --alpha: give exactly one");
  in.fixUy = !o.uy.empty();
  in.fixed = in.fixUy ? ReadField("--uy", o.uy) : ReadField("--alpha", o.alpha);
  const bool keffBeta = !o.keff.empty() && !o.betaEff.empty() && o.qd.empty() && o.kd.empty();
  const bool qdKd = o.keff.empty() && o.betaEff.empty() && !o.qd.empty() && !o.kd.empty();
  if (!keffBeta && !qdKd) throw BadCommandLine("inverse takes a target: --keff with --beta-eff, or --qd with --kd");
  in.target = keffBeta ? iso::Target::KeffBeta : iso::Target::QdKd;
  in.first = keffBeta ? ReadField("--keff", o.keff) : ReadField("--qd", o.qd);
  in.second = keffBeta ? ReadField("--beta-eff", o.betaEff) : ReadField("--kd", o.kd);
  return in;
}

void RunInverse(const InverseOptions& options) {
  const iso::InverseInput in = InputOf(options);
  Refusing([&] {
    const std::vector<Case> cases = iso::InverseDesign(in);
    std::vector<double> alpha, Fy, Uy;
    std::string text;
    for (const Case& c : cases) {
      alpha.push_back(c.alpha), Fy.push_back(c.Fy), Uy.push_back(c.Uy);
      const BoucWenCase bw = RecordOf(c, in.D / c.Uy);
      const iso::Properties p = iso::PropertiesAt(c, in.D);
      text += "case: " + CaseAsOptions(bw) + "\n  at D: Keff " + Six(p.Keff) + "  betaEff " + Six(p.betaEff) +
              "  Qd " + Six(p.Qd) + "\n" + BilinearLines(p, 1.0) + MaterialReport(bw, options.as, 1.0);
    }
    JsonObject out;
    out.Number("D", in.D).Number("n", in.n).Number("gamma", in.gamma);
    out.Object("cases", JsonObject().Numbers("alpha", alpha).Numbers("fy", Fy).Numbers("uy", Uy));
    WriteOut(options.json ? out.Answer() + "\n" : text);
  });
}

}  // namespace

void AddIsolationInverseCommand(CLI::App& isolation, int& exitCode) {
  auto o = std::make_shared<InverseOptions>();
  CLI::App* inverse = isolation.add_subcommand(
      "inverse", "the cases with a target (Keff, betaEff) or (Qd, Kd) at D, n and gamma fixed, and Uy or alpha");
  AddAsTypedFlag(*inverse);
  inverse->add_option("--n", o->n, "Bouc-Wen exponent n, fixed");
  inverse->add_option("--gamma", o->gamma, "gamma, fixed (beta = 1 - gamma)");
  CLI::Option* uy = inverse->add_option("--uy", o->uy, "yield displacement Uy, fixed (or --alpha)");
  inverse->add_option("--alpha", o->alpha, "alpha, fixed (or --uy)")->excludes(uy);
  inverse->add_option("--D", o->D, "the displacement amplitude D");
  inverse->add_option("--keff", o->keff, "the target Keff at D (with --beta-eff)");
  inverse->add_option("--beta-eff", o->betaEff, "the target effective damping at D, a fraction");
  inverse->add_option("--qd", o->qd, "the target Qd at D (with --kd)");
  inverse->add_option("--kd", o->kd, "the target Kd at D");
  AddAsOption(*inverse, o->as, "none");
  inverse->add_flag("--json", o->json,
                    "print {\"schema\": ..., \"D\", \"n\", \"gamma\", \"cases\": {\"alpha\": [...], \"fy\": [...], "
                    "\"uy\": [...]}}, one entry a case");
  inverse->callback([o, inverse, &exitCode] { RunAnswering(exitCode, *inverse, o->json, [&] { RunInverse(*o); }); });
}

}  // namespace quorix::cli
