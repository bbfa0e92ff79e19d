// End-to-end runs of quorix-cli cycles and fit on record files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>

#include "cli_process.h"
#include "synthetic.h"

namespace {

using namespace quorix::testing;

class MeasuredCli : public TempFolderTest {
 protected:
  // Writes the points with 17 digits after `header`, the columns split by `sep`; returns the path quoted.
  std::string Write(const std::string& name, const std::string& header, const std::vector<double>& u,
                    const std::vector<double>& F, char sep = ';') {
    std::string text = header;
    for (std::size_t i = 0; i < u.size(); ++i) {
      char line[64];
      std::snprintf(line, sizeof line, "%.17g%c%.17g\n", u[i], sep, F[i]);
      text += line;
    }
    return WriteText(name, text);
  }
  std::string WriteText(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return Quoted(name);
  }
  std::string Quoted(const std::string& name) {
    std::string quoted = (dir_ / name).string();
    quoted.insert(quoted.begin(), '\'');
    return quoted += '\'';
  }
  CliRun Cli(const std::string& args) { return RunCommand(QUORIX_CLI, args); }
};

// An ellipse polygon of N points a turn: its area is (N/2)·c·d·sin(2π/N).
TEST_F(MeasuredCli, CyclesOfAnEllipse) {
  const int N = 400;
  std::vector<double> u, F;
  for (int i = 0; i <= 3 * N + N / 4; ++i) {
    u.push_back(2.0 * std::cos(2.0 * std::numbers::pi * i / N));
    F.push_back(3.0 * u.back() - 0.7 * std::sin(2.0 * std::numbers::pi * i / N));
  }
  const std::string path = Write("ellipse.txt", "u [mm]\tF [kN]\n", u, F, '\t');
  const CliRun run = Cli("cycles --json " + path);
  ASSERT_EQ(run.status, 0) << run.err;
  const double area = 0.5 * N * 0.7 * 2.0 * std::sin(2.0 * std::numbers::pi / N);
  EXPECT_NEAR(JsonNumber(run.out, "EDC"), area, 1e-12 * area);
  EXPECT_NEAR(JsonNumber(run.out, "Keff"), 3.0, 1e-12);
  EXPECT_EQ(JsonNumber(run.out, "cycle"), 1.0);
  EXPECT_EQ(JsonNumber(run.out, "steady"), 2.0);
  EXPECT_EQ(JsonNumber(run.out, "count"), 1.0);
  const CliRun table = Cli("cycles " + path);
  ASSERT_EQ(table.status, 0);
  EXPECT_EQ(table.out.rfind("cycle\tfirst\tlast\tu+\tu-\tF+\tF-\tEDC\tKeff\txi_eff\tsteady\n", 0), 0u);
  EXPECT_NE(table.out.find("\nmean of 1 steady\t"), std::string::npos);
}

TEST_F(MeasuredCli, BadRecordsFailWithTheirReason) {
  const std::pair<std::string, std::string> cases[] = {
      {"cycles " + WriteText("bad.csv", "u,F\n1,2\n3,x\n"), "quorix-cli: line 3: the force \"x\" is not a number"},
      {"cycles " + Quoted("missing.csv"), "quorix-cli: cannot open"},
      {"cycles " + WriteText("half.csv", "0,0\n1,1\n0,0\n-1,-1\n0,0\n"), "quorix-cli: fewer than one full cycle"},
      {"fit " + WriteText("one.csv", "1,2\n3\n"), "quorix-cli: line 2: one column"}};
  for (const auto& [args, message] : cases) {
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 1) << args;
    EXPECT_EQ(run.err.rfind(message, 0), 0u) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
}

// Noiseless steady cycles at three amplitudes of n = 2, γ = 0.7, α = 0.1, Fy = 50, Uy = 2.
TEST_F(MeasuredCli, FitPrintsTheParametersAndRefusesBadOptions) {
  using namespace quorix::measured::testing;
  const auto rec =
      MakeRecord({2.0, 0.7, 0.1, 50.0, 2.0}, {Block{2.8, 3, true}, Block{6.0, 3, true}, Block{16.0, 3, true}}, 400, 8);
  const std::string path = Write("record.csv", "# synthetic\nu;F\n", rec.u, rec.F);
  const CliRun run = Cli("fit --json " + path);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::pair<const char*, double> truth[] = {{"n", 2.0}, {"gamma", 0.7}, {"alpha", 0.1}, {"Fy", 50.0},
                                                  {"Uy", 2.0}};
  for (const auto& [name, value] : truth) EXPECT_NEAR(JsonNumber(run.out, name), value, 1e-6 * value) << name;
  EXPECT_EQ(JsonNumber(run.out, "cycles"), 2.0);  // the steady cycles: 2, 5, 8

  const CliRun fixed = Cli("fit " + path + " --cycles 4:5 --fix n=2.5 --fix beta=0.3");
  ASSERT_EQ(fixed.status, 0) << fixed.err;
  for (const char* line : {"n\t2.5\tfixed\n", "gamma\t0.7\tfixed\n", "\n4\t6\t"}) {
    EXPECT_NE(fixed.out.find(line), std::string::npos) << line << fixed.out;
  }
  for (const char* args : {"--fix k=2", "--fix n", "--fix n=x", "--start alpha=", "--cycles 0:2", "--cycles 3:2"}) {
    EXPECT_EQ(Cli("fit " + path + " " + args).status, 2) << args;
  }
  const CliRun beyond = Cli("fit " + path + " --cycles 7:9");
  EXPECT_EQ(beyond.status, 1);
  EXPECT_EQ(beyond.err, "quorix-cli: --cycles 7:9: the record has cycles 1 to 8\n");
}

}  // namespace
