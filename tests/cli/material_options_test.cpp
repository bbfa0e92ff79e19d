// quorix-cli with the case given as analysis programs write it: the case printed gives the same results
// back, the mapping is the library's (tests/material holds it to its values), and what cannot be mapped is
// refused by name.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cli_process.h"
#include "decimal.h"
#include "material.h"
#include "material_text.h"

namespace {

using namespace quorix::testing;
namespace material = quorix::material;

using quorix::decimal::ShortestText;

class MaterialOptions : public TempFolderTest {
 protected:
  // The results of `solve`: its lines but the case's and the materials'.
  static std::string Results(const CliRun& run) {
    std::string out;
    for (const std::string& line : Split(run.out, "\n")) {
      if (!line.starts_with("case:") && !line.starts_with("OpenSees") && !line.starts_with("CSI")) out += line + "\n";
    }
    return out;
  }
  // The option values of the "case:" line, as a command of `subcommand`.
  static Args CaseLine(const CliRun& run, const std::string& subcommand = "solve") {
    const std::string first = Split(run.out, "\n").at(0);
    EXPECT_TRUE(first.starts_with("case: ")) << run.out;
    Args args{subcommand};
    for (std::size_t pos = 6, end; pos < first.size(); pos = end + 1) {
      end = std::min(first.find(' ', pos), first.size());
      args.push_back(first.substr(pos, end - pos));
    }
    return args;
  }
  static std::string LineAfter(const CliRun& run, const std::string& prefix, int which = 0) {
    for (const std::string& line : Split(run.out, "\n")) {
      if (line.starts_with(prefix) && which-- == 0) return line.substr(prefix.size());
    }
    ADD_FAILURE() << "no line " << prefix << " in " << run.out;
    return "";
  }
  // The value of a result line ("        Fa : 425.047014492").
  static double Value(const std::string& out, const std::string& caption) {
    for (const std::string& line : Split(out, "\n")) {
      const std::size_t at = line.find(caption + " : ");
      if (at != std::string::npos && line.find_first_not_of(' ') == at) return std::stod(line.substr(at + caption.size() + 3));
    }
    ADD_FAILURE() << "no " << caption << " in " << out;
    return 0.0;
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
  // The first line's case is the library's mapping; the CSI link written for a γ = ½ case is the one given.
  const quorix::Case c = material::FromOpenSees(material::ParseOpenSees(tcl));
  const Args line = CaseLine(Cli({"solve", "--material", tcl}));
  EXPECT_EQ(std::tuple(line.at(4), line.at(12)), std::tuple(ShortestText(c.gamma), ShortestText(c.Uy)));
  EXPECT_EQ(LineAfter(Cli({"solve", "--csi-wen", "k=2e4,yield=150,ratio=0.08,exp=1.5", "--as", "csi-wen"}),
                      "CSI Wen link: "), "k=20000,yield=150,ratio=0.08,exp=1.5");
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
      {{"solve", "--material", "uniaxialMaterial BoucWen 1 0.1 k 2 8 73 1 0 0 0"}, 1,
       "--material: word 4 \"k\" (ko) is not a number"},
      {{"solve", "--csi-wen", "k=1,yield=2,exp=1"}, 1, "needs ratio="},
      {{"solve", "--material", "uniaxialMaterial BoucWen 1 0.1 25 2 8 73 1 0 0 0", "--n", "2"}, 2, "excludes"},
      {{"solve", "--as", "sap"}, 2, "--as"},
  };
  for (const auto& c : cases) {
    const CliRun run = Cli(c.args);
    EXPECT_EQ(run.status, c.status) << c.args[2] << run.err;
    EXPECT_EQ(std::pair(Has(run.err, c.err), Count(run.err, '\n')),
              std::pair(true, std::size_t{c.err.empty() ? 0u : 1u + (c.status == 2)})) << run.err;  // the warning once
  }
}

// A material's elastic term k3·sgn(u)·|u|^mu: the energy is the case's own (the "case:" line without the term),
// the forces of solve and of each point of loop gain the term, and what cannot hold the term says so, naming it.
TEST_F(MaterialOptions, AnElasticTermAddsItsForceAndKeepsTheEnergy) {
  const std::string text = "uniaxialMaterial BoucWenOriginal 1 2e5 355 0.02 2000 3";
  const double k3 = 2000.0 * 2e5, mu = 3.0, umax = 0.005, term = k3 * std::pow(umax, mu);
  const CliRun run = Cli({"solve", "--material", text, "--umax", "0.005", "--as", "all"});
  ASSERT_EQ(run.status, 0) << run.err;
  const CliRun plain = Cli(CaseLine(run));
  ASSERT_EQ(plain.status, 0) << plain.err;
  for (const char* same : {"Za", "Fha", "DE", "Kda*"}) EXPECT_EQ(Value(run.out, same), Value(plain.out, same)) << same;
  EXPECT_NEAR(Value(run.out, "Fa"), Value(plain.out, "Fa") + term, 2e-9);
  EXPECT_NEAR(Value(run.out, "Fela"), Value(plain.out, "Fela") + term, 2e-9);
  const std::vector<std::string> with =
      Split(Cli({"loop", "--material", text, "--umax", "0.005", "--points", "5"}).out, "\n");
  Args plainLoop = CaseLine(run, "loop");
  plainLoop.insert(plainLoop.end(), {"--points", "5"});
  const std::vector<std::string> without = Split(Cli(plainLoop).out, "\n");
  ASSERT_EQ(with.size(), without.size());
  for (std::size_t i = 1; i < with.size(); ++i) {
    const std::vector<std::string> a = Split(with[i] + "\t", "\t"), b = Split(without[i] + "\t", "\t");
    const double u = std::stod(a.at(0)), e = k3 * std::copysign(std::pow(std::fabs(u), mu), u);
    EXPECT_EQ(u, std::stod(b.at(0)));
    EXPECT_NEAR(std::stod(a.at(1)), std::stod(b.at(1)) + e, 1e-12 * (std::fabs(e) + std::fabs(std::stod(b.at(1)))));
  }
  EXPECT_TRUE(Has(run.out, "OpenSees: BoucWen: none (it has no nonlinear elastic term")) << run.out;
  const CliRun csi = Cli({"solve", "--material", text, "--as", "csi-wen"});
  EXPECT_EQ(std::pair(csi.status, Has(csi.err, "--as csi-wen: the Wen link has no nonlinear elastic term")),
            std::pair(1, true)) << csi.err;
  const CliRun sweep = Cli({"sweep", "--material", text, "--to", "0.3"});
  EXPECT_EQ(std::pair(sweep.status, Has(sweep.err, "the sweep's table has no place for the nonlinear elastic term")),
            std::pair(1, true)) << sweep.err;
}

// The element without alpha2 is BoucWenOriginal's case with E = kInit, fy = qd, alphaL = alpha1, written back
// with its own tag, nodes and other directions.
TEST_F(MaterialOptions, TheElementWithoutItsTermIsTheOriginalMaterial) {
  const CliRun element =
      Cli({"solve", "--material", "element elastomericBearingBoucWen 5 7 8 1e4 50 0.1 0 2 2 0.9 0.1 -P 3 -Mz 4",
           "--u", "2", "--as", "opensees"});
  const CliRun original = Cli({"solve", "--material", "uniaxialMaterial BoucWenOriginal 5 1e4 50 0.1 0 2 2 0.9 0.1", "--u", "2"});
  ASSERT_EQ(std::tuple(element.status, original.status), std::tuple(0, 0)) << element.err << original.err;
  EXPECT_EQ(Results(element), Results(original));
  EXPECT_EQ(LineAfter(element, "OpenSees: element "), "elastomericBearingBoucWen 5 7 8 10000 50 0.1 0 2 2 0.9 0.1 -P 3 -Mz 4");
}

}  // namespace
