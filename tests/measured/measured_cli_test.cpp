// End-to-end runs of quorix-cli cycles and fit on record files.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "cli_process.h"
#include "synthetic.h"

namespace {

using namespace quorix::testing;

class MeasuredCli : public TempFolderTest {
 protected:
  std::string Write(const std::string& name, const std::string& text) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  CliRun Cli(const std::string& args) { return RunCommand(QUORIX_CLI, args); }
};

// An ellipse polygon of N points a turn: its area is (N/2)·c·d·sin(2π/N).
TEST_F(MeasuredCli, CyclesOfAnEllipse) {
  const int N = 400;
  std::string text = "u [mm]\tF [kN]\n";
  for (int i = 0; i <= 3 * N + N / 4; ++i) {
    const double t = 2.0 * std::numbers::pi * i / N;
    char line[64];
    const double u = 2.0 * std::cos(t);
    std::snprintf(line, sizeof line, "%.17g\t%.17g\n", u, 3.0 * u - 0.7 * std::sin(t));
    text += line;
  }
  const CliRun run = Cli("cycles --json '" + Write("ellipse.txt", text) + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  const double area = 0.5 * N * 0.7 * 2.0 * std::sin(2.0 * std::numbers::pi / N);
  EXPECT_NEAR(JsonNumber(run.out, "EDC"), area, 1e-12 * area);
  EXPECT_NEAR(JsonNumber(run.out, "Keff"), 3.0, 1e-12);
  EXPECT_EQ(JsonNumber(run.out, "cycle"), 1.0);
  EXPECT_EQ(JsonNumber(run.out, "steady"), 2.0);
  EXPECT_EQ(JsonNumber(run.out, "count"), 1.0);

  const CliRun table = Cli("cycles '" + (dir_ / "ellipse.txt").string() + "'");
  ASSERT_EQ(table.status, 0);
  EXPECT_EQ(table.out.rfind("cycle\tfirst\tlast\tu+\tu-\tF+\tF-\tEDC\tKeff\txi_eff\tsteady\n", 0), 0u);
  EXPECT_NE(table.out.find("\nmean of 1 steady\t"), std::string::npos);
}

TEST_F(MeasuredCli, BadRecordsFailWithTheirReason) {
  struct Case {
    std::string args, message;
  } cases[] = {
      {"cycles '" + Write("bad.csv", "u,F\n1,2\n3,x\n") + "'", "quorix-cli: line 3: the force \"x\" is not a number"},
      {"cycles '" + (dir_ / "missing.csv").string() + "'", "quorix-cli: cannot open"},
      {"cycles '" + Write("half.csv", "0,0\n1,1\n0,0\n-1,-1\n0,0\n") + "'", "quorix-cli: fewer than one full cycle"},
      {"fit '" + Write("one.csv", "1,2\n3\n") + "'", "quorix-cli: line 2: one column"},
  };
  for (const Case& c : cases) {
    const CliRun run = Cli(c.args);
    EXPECT_EQ(run.status, 1) << c.args;
    EXPECT_EQ(run.err.rfind(c.message, 0), 0u) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
}

class FitCli : public MeasuredCli {
 protected:
  // Noiseless steady cycles at three amplitudes of n = 2, γ = 0.7, α = 0.1,
  // Fy = 50, Uy = 2, written with 17 digits.
  std::string RecordFile() {
    using namespace quorix::measured::testing;
    const TrueModel m{2.0, 0.7, 0.1, 50.0, 2.0};
    const auto rec = MakeRecord(m, {Block{2.8, 3, true}, Block{6.0, 3, true}, Block{16.0, 3, true}}, 400, 8);
    std::string text = "# synthetic\nu;F\n";
    for (std::size_t i = 0; i < rec.u.size(); ++i) {
      char line[64];
      std::snprintf(line, sizeof line, "%.17g;%.17g\n", rec.u[i], rec.F[i]);
      text += line;
    }
    return Write("record.csv", text);
  }
};

TEST_F(FitCli, JsonHoldsTheFittedParameters) {
  const std::string path = RecordFile();
  const CliRun run = Cli("fit --json '" + path + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::pair<const char*, double> truth[] = {{"n", 2.0}, {"gamma", 0.7}, {"alpha", 0.1}, {"Fy", 50.0}, {"Uy", 2.0}};
  for (const auto& [name, value] : truth) EXPECT_NEAR(JsonNumber(run.out, name), value, 1e-6 * value) << name;
  EXPECT_EQ(JsonNumber(run.out, "cycles"), 2.0);  // the steady cycles: 2, 5, 8

  const CliRun fixed = Cli("fit '" + path + "' --cycles 4:5 --fix n=2.5 --fix beta=0.3");
  ASSERT_EQ(fixed.status, 0) << fixed.err;
  EXPECT_NE(fixed.out.find("n\t2.5\tfixed\n"), std::string::npos) << fixed.out;
  EXPECT_NE(fixed.out.find("gamma\t0.7\tfixed\n"), std::string::npos) << fixed.out;
  EXPECT_NE(fixed.out.find("\n4\t6\t"), std::string::npos) << fixed.out;
}

TEST_F(FitCli, BadOptionsAreABadCommandLine) {
  const std::string path = RecordFile();
  for (const char* args : {"--fix k=2", "--fix n", "--fix n=x", "--start alpha=", "--cycles 0:2", "--cycles 3:2"}) {
    const CliRun run = Cli("fit '" + path + "' " + args);
    EXPECT_EQ(run.status, 2) << args << run.err;
  }
  const CliRun beyond = Cli("fit '" + path + "' --cycles 7:9");
  EXPECT_EQ(beyond.status, 1);
  EXPECT_EQ(beyond.err, "quorix-cli: --cycles 7:9: the record has cycles 1 to 8\n");
}

}  // namespace
