// quorix-cli with the case given as analysis programs write it: the case printed gives the same results
// back, the mapping is the library's (tests/material holds it to its values), and what cannot be mapped is
// refused by name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>
#include <string>

#include "cli_process.h"
#include "decimal.h"
#include "material.h"
#include "material_text.h"
#include "response.h"

namespace {

using namespace quorix::testing;
namespace material = quorix::material;

using quorix::decimal::ShortestText;

class MaterialOptions : public TempFolderTest {
 protected:
  // The results of `solve`: its lines but the case's and the materials'.
  std::string Results(const CliRun& run) {
    std::string out;
    for (const std::string& line : Split(run.out, "\n")) {
      if (!line.starts_with("case:") && !line.starts_with("OpenSees") && !line.starts_with("CSI")) out += line + "\n";
    }
    return out;
  }
  // The option values of the "case:" line.
  Args CaseLine(const CliRun& run) {
    const std::string first = Split(run.out, "\n").at(0);
    EXPECT_TRUE(first.starts_with("case: ")) << run.out;
    Args args{"solve"};
    for (std::size_t pos = 6, end; pos < first.size(); pos = end + 1) {
      end = std::min(first.find(' ', pos), first.size());
      args.push_back(first.substr(pos, end - pos));
    }
    return args;
  }
  std::string LineAfter(const CliRun& run, const std::string& prefix, int which = 0) {
    for (const std::string& line : Split(run.out, "\n")) {
      if (line.starts_with(prefix) && which-- == 0) return line.substr(prefix.size());
    }
    ADD_FAILURE() << "no line " << prefix << " in " << run.out;
    return "";
  }
};

// The mapped case reaches the solver exactly: its options, given as they are printed, give the same results.
TEST_F(MaterialOptions, TheMappedCaseIsTheLibrarysAndComesBack) {
  const std::string tcl = "uniaxialMaterial BoucWen 1 0.02 5e4 1.5 30 50 2 0 0 0";
  const Args inputs[] = {
      {"--material", tcl, "--umax", "0.03"},
      {"--csi-wen", "k=2e4,yield=150,ratio=0.08,exp=1.5", "--umax", "0.02"},
      {"--model", "general", "--A", "0.5", "--beta", "1", "--gamma", "2", "--n", "0.7", "--uy", "2.5"},
  };
  for (const Args& input : inputs) {
    SCOPED_TRACE(input[1]);
    Args args{"solve", "--as", "all"};
    args.insert(args.end(), input.begin(), input.end());
    const CliRun run = Cli(args);
    ASSERT_EQ(std::tuple(run.status, run.err), std::tuple(0, std::string()));
    const CliRun again = Cli(CaseLine(run));
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(Results(again), Results(run));
  }
  // Without a mapping --umax is the amplitude itself, over Uy the --u it stands for.
  EXPECT_EQ(Results(Cli({"solve", "--uy", "0.25", "--umax", "0.625"})),
            Results(Cli({"solve", "--uy", "0.25", "--u", "2.5"})));
  // The first line's case is the library's mapping of it, and the OpenSees line printed maps back to it.
  const quorix::Case c = material::FromOpenSees(material::ParseOpenSees(tcl));
  const CliRun run = Cli({"solve", "--material", tcl, "--as", "opensees"});
  const Args line = CaseLine(run);
  EXPECT_EQ(std::tuple(line.at(4), line.at(12)), std::tuple(ShortestText(c.gamma), ShortestText(c.Uy)));
  EXPECT_NEAR(material::FromOpenSees(material::ParseOpenSees(LineAfter(run, "OpenSees: "))).Uy, c.Uy, 3e-16 * c.Uy);
  // The CSI link written for a γ = ½ case is the one given.
  EXPECT_EQ(LineAfter(Cli({"solve", "--csi-wen", "k=2e4,yield=150,ratio=0.08,exp=1.5", "--as", "csi-wen"}),
                      "CSI Wen link: "),
            "k=20000,yield=150,ratio=0.08,exp=1.5");
}

TEST_F(MaterialOptions, WarnsWhenTheSumIsNotOneAndRefusesByName) {
  const struct {
    Args args;
    int status;
    std::string err;  // a part of standard error; "" for none at all
  } cases[] = {
      {{"solve", "--beta", "0.1", "--gamma", "0.9"}, 0, ""},
      {{"solve", "--beta", "0.6", "--gamma", "0.6", "--accurate"}, 0, "beta + gamma = 1.2, but the formulas take"},
      {{"sweep", "--beta", "0.6", "--gamma", "0.6", "--to", "0.3"}, 0, "--model general"},
      {{"solve", "--model", "general", "--beta", "0.6", "--gamma", "0.6"}, 0, ""},
      {{"solve", "--A", "2"}, 1, "--A needs --model general"},
      {{"solve", "--model", "general", "--A", "-1"}, 1, "--model general: A must be positive: -1"},
      {{"solve", "--material", "uniaxialMaterial BoucWen 1 0.1 k 2 8 73 1 0 0 0"}, 1,
       "--material: word 4 \"k\" (ko) is not a number"},
      {{"solve", "--csi-wen", "k=1,yield=2,exp=1"}, 1, "needs ratio="},
      {{"solve", "--material", "uniaxialMaterial BoucWen 1 0.1 25 2 8 73 1 0 0 0", "--n", "2"}, 2, "excludes"},
      {{"solve", "--as", "sap"}, 2, "--as"},
  };
  for (const auto& c : cases) {
    const CliRun run = Cli(c.args);
    EXPECT_EQ(run.status, c.status) << c.args[2] << run.err;
    if (c.err.empty()) {
      EXPECT_EQ(run.err, "") << c.args[2];
    } else {
      EXPECT_TRUE(Has(run.err, c.err)) << run.err;
      EXPECT_EQ(Count(run.err, '\n'), 1u + (c.status == 2)) << run.err;  // the warning once
    }
  }
}

// fit's report ends with the fitted case as the programs write it.
TEST_F(MaterialOptions, FitGivesTheFittedCaseAsMaterials) {
  std::vector<double> u;
  for (int k = 0; k <= 1200; ++k) u.push_back(0.3 * std::sin(k * 0.0314159));
  const quorix::response::History h =
      quorix::response::RespondAlong(u, {.n = 1.5, .gamma = 0.5, .alpha = 0.05, .Fy = 3.0, .Uy = 0.1}, 0.0);
  std::string record;
  for (std::size_t k = 0; k < u.size(); ++k) record += ShortestText(u[k]) + "," + ShortestText(h.F[k]) + "\n";
  Write("record.csv", record);
  const CliRun run = Cli({"fit", "record.csv", "--fix", "gamma=0.5"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NEAR(material::FromOpenSees(material::ParseOpenSees(LineAfter(run, "OpenSees: ", 1))).Uy, 0.1, 1e-7);
  EXPECT_NEAR(material::ParseCsiWen(LineAfter(run, "CSI Wen link: ")).k, 30.0, 1e-4);
  EXPECT_TRUE(Has(Cli({"fit", "record.csv", "--json"}).out, "\"materials\": {\"opensees_boucwen\": \"uniaxialMaterial"));
  EXPECT_FALSE(Has(Cli({"fit", "record.csv", "--as", "none"}).out, "OpenSees"));
}

// The value of a result line ("        Fa : 425.047014492").
double Value(const std::string& out, const std::string& caption) {
  for (const std::string& line : Split(out, "\n")) {
    const std::size_t at = line.find(caption + " : ");
    if (at != std::string::npos && line.find_first_not_of(' ') == at) return std::stod(line.substr(at + caption.size() + 3));
  }
  ADD_FAILURE() << "no " << caption << " in " << out;
  return 0.0;
}

// A material's elastic term k3·sgn(u)·|u|^mu: the energy is the case's own (the "case:" line without the
// term), the forces gain the term, and the lines --as writes read back to the same results.
TEST_F(MaterialOptions, AnElasticTermAddsItsForceAndKeepsTheEnergy) {
  const struct {
    std::string text;
    double k3, mu, umax;
  } cases[] = {
      {"uniaxialMaterial BoucWenOriginal 1 2e5 355 0.02 2000 3", 2000.0 * 2e5, 3.0, 0.005},
      {"element elastomericBearingBoucWen 1 1 2 1e4 50 0.1 0.3 2 -P 3 -Mz 4", 0.3 * 1e4, 2.0, 0.1},
      {"ops.element(\"elastomericBearingBoucWen\", 2, 1, 2, 2e3, 20.0, 0.05, -0.02, 0.5, 1.5, 0.8, 0.6, \"-P\", 3, "
       "\"-Mz\", 4)",
       -0.02 * 2e3, 0.5, 0.05},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string umax = ShortestText(c.umax);
    const CliRun run = Cli({"solve", "--material", c.text, "--umax", umax, "--as", "all"});
    ASSERT_EQ(run.status, 0) << run.err;
    const CliRun plain = Cli(CaseLine(run));
    ASSERT_EQ(plain.status, 0) << plain.err;
    const double term = c.k3 * std::pow(c.umax, c.mu);
    for (const char* same : {"Za", "Fha", "DE", "DE/(Fh Uy)", "Kda*"}) EXPECT_EQ(Value(run.out, same), Value(plain.out, same)) << same;
    EXPECT_NEAR(Value(run.out, "Fa"), Value(plain.out, "Fa") + term, 2e-9);
    EXPECT_NEAR(Value(run.out, "Fela"), Value(plain.out, "Fela") + term, 2e-9);
    const double Fa = Value(run.out, "Fa");
    EXPECT_NEAR(Value(run.out, "XiEq"), Value(run.out, "DE") / (2.0 * std::acos(-1.0) * Fa * c.umax), 1e-8);
    EXPECT_NEAR(Value(run.out, "Ksec"), Fa / c.umax, 1e-6 * Fa / c.umax);
    // Each line written reads back to the same results.
    for (const std::string prefix : {"OpenSees: uniaxialMaterial", "OpenSees: element", "OpenSeesPy: ops.element"}) {
      // The test's shell passes no single quote: Python's strings in double quotes.
      std::string line = prefix.substr(prefix.find(' ') + 1) + LineAfter(run, prefix);
      std::replace(line.begin(), line.end(), '\'', '"');
      const CliRun back = Cli({"solve", "--material", line, "--umax", umax});
      ASSERT_EQ(back.status, 0) << line << back.err;
      for (const char* caption : {"Fa", "DE", "XiEq"}) {
        EXPECT_NEAR(Value(back.out, caption), Value(run.out, caption), 1e-8 * std::fabs(Value(run.out, caption)) + 2e-9)
            << line;
      }
    }
    // The loop's forces gain the term point by point; its area stays the energy.
    const std::vector<std::string> with = Split(Cli({"loop", "--material", c.text, "--umax", umax, "--points", "5"}).out, "\n");
    Args plainLoop = CaseLine(run);
    plainLoop[0] = "loop";
    plainLoop.insert(plainLoop.end(), {"--points", "5"});
    const std::vector<std::string> without = Split(Cli(plainLoop).out, "\n");
    ASSERT_EQ(with.size(), without.size());
    for (std::size_t i = 1; i < with.size(); ++i) {
      if (with[i].empty()) continue;
      const std::vector<std::string> a = Split(with[i], "\t"), b = Split(without[i], "\t");
      const double u = std::stod(a.at(0));
      EXPECT_EQ(u, std::stod(b.at(0)));
      const double e = u == 0.0 ? 0.0 : c.k3 * std::copysign(std::pow(std::fabs(u), c.mu), u);
      EXPECT_NEAR(std::stod(a.at(1)), std::stod(b.at(1)) + e, 1e-12 * (std::fabs(e) + std::fabs(std::stod(b.at(1)))));
    }
    // What cannot hold the term says so, naming it.
    EXPECT_TRUE(Has(run.out, "OpenSees: BoucWen: none (it has no nonlinear elastic term")) << run.out;
    const CliRun csi = Cli({"solve", "--material", c.text, "--as", "csi-wen"});
    EXPECT_EQ(csi.status, 1);
    EXPECT_TRUE(Has(csi.err, "--as csi-wen: the Wen link has no nonlinear elastic term")) << csi.err;
    const CliRun sweep = Cli({"sweep", "--material", c.text, "--to", "0.3"});
    EXPECT_EQ(sweep.status, 1);
    EXPECT_TRUE(Has(sweep.err, "the sweep's table has no place for the nonlinear elastic term")) << sweep.err;
  }
}

// The element without alpha2 is BoucWenOriginal's case with E = kInit, fy = qd, alphaL = alpha1.
TEST_F(MaterialOptions, TheElementWithoutItsTermIsTheOriginalMaterial) {
  const CliRun element =
      Cli({"solve", "--material", "element elastomericBearingBoucWen 5 7 8 1e4 50 0.1 0 2 2 0.9 0.1 -P 3 -Mz 4",
           "--u", "2", "--as", "opensees"});
  const CliRun original = Cli({"solve", "--material", "uniaxialMaterial BoucWenOriginal 5 1e4 50 0.1 0 2 2 0.9 0.1", "--u", "2"});
  ASSERT_EQ(std::tuple(element.status, original.status), std::tuple(0, 0)) << element.err << original.err;
  EXPECT_EQ(Results(element), Results(original));
  EXPECT_FALSE(Has(element.out, "elastic term"));
  // Written back with its own tag, nodes and other directions.
  EXPECT_EQ(LineAfter(element, "OpenSees: element "), "elastomericBearingBoucWen 5 7 8 10000 50 0.1 0 2 2 0.9 0.1 -P 3 -Mz 4");
}

}  // namespace
