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

#include "synthetic.h"

namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status = -1;
  std::string out, err;
};

std::string ReadAll(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// The number after "key": in a one-line JSON text (the first element of an array).
double JsonNumber(const std::string& json, const std::string& key) {
  const std::string marker = "\"" + key + "\": ";
  std::size_t pos = json.find(marker);
  if (pos == std::string::npos) return -999.0;
  pos += marker.size();
  if (json[pos] == '[') ++pos;
  double value = -999.0;
  std::from_chars(json.data() + pos, json.data() + json.size(), value);
  return value;
}

class MeasuredCli : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quorix-measured-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& text) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  CliRun Cli(const std::string& args) {
    const std::string out = (dir_ / "out").string(), err = (dir_ / "err").string();
    const int status = std::system((std::string(QUORIX_CLI) + " " + args + " >'" + out + "' 2>'" + err + "'").c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(out), ReadAll(err)};
  }

  fs::path dir_;
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
  };
  for (const Case& c : cases) {
    const CliRun run = Cli(c.args);
    EXPECT_EQ(run.status, 1) << c.args;
    EXPECT_EQ(run.err.rfind(c.message, 0), 0u) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
}

}  // namespace
