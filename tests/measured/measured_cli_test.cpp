// End-to-end runs of quorix-cli cycles and fit on record files.
#include <cmath>
#include <cstdio>
#include <numbers>

#include "cli_process.h"
#include "synthetic.h"

namespace {

using namespace quorix::testing;
using MeasuredCli = TempFolderTest;

// The points with 17 digits after `header`, the columns split by `sep`.
std::string RecordText(std::string header, const std::vector<double>& u, const std::vector<double>& F, char sep) {
  for (std::size_t i = 0; i < u.size(); ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "%.17g%c%.17g\n", u[i], sep, F[i]);
    header += line;
  }
  return header;
}

// An ellipse polygon of N points a turn: its area is (N/2)·c·d·sin(2π/N).
TEST_F(MeasuredCli, CyclesOfAnEllipse) {
  const int N = 400;
  std::vector<double> u, F;
  for (int i = 0; i <= 3 * N + N / 4; ++i) {
    u.push_back(2.0 * std::cos(2.0 * std::numbers::pi * i / N));
    F.push_back(3.0 * u.back() - 0.7 * std::sin(2.0 * std::numbers::pi * i / N));
  }
  Write("ellipse.txt", RecordText("u [mm]\tF [kN]\n", u, F, '\t'));
  const CliRun run = Cli({"cycles", "--json", "ellipse.txt"});
  ASSERT_EQ(run.status, 0) << run.err;
  const double area = 0.5 * N * 0.7 * 2.0 * std::sin(2.0 * std::numbers::pi / N);
  EXPECT_NEAR(JsonNumber(run.out, "EDC"), area, 1e-12 * area);
  EXPECT_NEAR(JsonNumber(run.out, "Keff"), 3.0, 1e-12);
  EXPECT_TRUE(JsonNumber(run.out, "steady") == 2.0 && JsonNumber(run.out, "count") == 1.0) << run.out;
  const CliRun table = Cli({"cycles", "ellipse.txt"});
  EXPECT_TRUE(table.out.starts_with("cycle\tfirst\tlast\tu+\tu-\tF+\tF-\tEDC\tKeff\txi_eff\tsteady\n") &&
              Has(table.out, "\nmean of 1 steady\t"))
      << table.out;
}

TEST_F(MeasuredCli, BadRecordsFailWithTheirReason) {
  Write("bad.csv", "u,F\n1,2\n3,x\n");
  Write("half.csv", "0,0\n1,1\n0,0\n-1,-1\n0,0\n");
  Write("one.csv", "1,2\n3\n");
  const std::pair<Args, std::string> cases[] = {
      {{"cycles", "bad.csv"}, "quorix-cli: line 3: the force \"x\" is not a number"},
      {{"cycles", "missing.csv"}, "quorix-cli: cannot open"},
      {{"cycles", "half.csv"}, "quorix-cli: fewer than one full cycle"},
      {{"fit", "one.csv"}, "quorix-cli: line 2: one column"}};
  for (const auto& [args, message] : cases) {
    const CliRun run = Cli(args);
    EXPECT_TRUE(run.status == 1 && run.err.starts_with(message) && run.out.empty()) << args[1] << ": " << run.err;
  }
}

// Noiseless steady cycles at three amplitudes of n = 2, γ = 0.7, α = 0.1, Fy = 50, Uy = 2.
TEST_F(MeasuredCli, FitPrintsTheParametersAndRefusesBadOptions) {
  using namespace quorix::measured::testing;
  const auto rec =
      MakeRecord({2.0, 0.7, 0.1, 50.0, 2.0}, {Block{2.8, 3, true}, Block{6.0, 3, true}, Block{16.0, 3, true}}, 400, 8);
  Write("record.csv", RecordText("# synthetic\nu;F\n", rec.u, rec.F, ';'));
  const CliRun run = Cli({"fit", "--json", "record.csv"});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const auto& [name, value] : {std::pair{"n", 2.0}, {"gamma", 0.7}, {"alpha", 0.1}, {"Fy", 50.0}, {"Uy", 2.0}}) {
    EXPECT_NEAR(JsonNumber(run.out, name), value, 1e-6 * value) << name;
  }
  EXPECT_EQ(JsonNumber(run.out, "cycles"), 2.0);  // the steady cycles: 2, 5, 8

  const CliRun fixed = Cli({"fit", "record.csv", "--cycles", "4:5", "--fix", "n=2.5", "--fix", "beta=0.3"});
  for (const char* line : {"n\t2.5\tfixed\n", "gamma\t0.7\tfixed\n", "\n4\t6\t"}) {
    EXPECT_TRUE(Has(fixed.out, line)) << line << fixed.out << fixed.err;
  }
  for (const Args& bad : {Args{"--fix", "k=2"}, {"--fix", "n"}, {"--fix", "n=x"}, {"--start", "alpha="},
                          {"--cycles", "0:2"}, {"--cycles", "3:2"}}) {
    EXPECT_EQ(Cli({"fit", "record.csv", bad[0], bad[1]}).status, 2) << bad[0] << " " << bad[1];
  }
  const CliRun beyond = Cli({"fit", "record.csv", "--cycles", "7:9"});
  EXPECT_EQ(beyond.status, 1);
  EXPECT_EQ(beyond.err, "quorix-cli: --cycles 7:9: the record has cycles 1 to 8\n");
}

}  // namespace
