// quorix-cli fit's 95 % intervals: the text's column and the JSON's "interval95" on a record integrated
// from known parameters (RK4, tests/support) with noise on F and u; their coverage is tests/measured's.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "cli_process.h"
#include "decimal.h"
#include "synthetic.h"

namespace {

using namespace quorix::testing;
namespace mt = quorix::measured::testing;

// The [low, high] of `key` inside the JSON's "interval95" object; NaNs when missing.
std::array<double, 2> JsonInterval(const std::string& json, const std::string& key) {
  std::array<double, 2> bounds{std::nan(""), std::nan("")};
  std::size_t at = json.find("\"interval95\": {");
  if (at == std::string::npos || (at = json.find("\"" + key + "\": [", at)) == std::string::npos) return bounds;
  at += key.size() + 5;
  const char* end = quorix::decimal::ReadDouble(std::string_view(json).substr(at), bounds[0]).ptr;
  at = static_cast<std::size_t>(end - json.data()) + 2;  // ", "
  quorix::decimal::ReadDouble(std::string_view(json).substr(at), bounds[1]);
  return bounds;
}

// The text's row of `name`: its cells split at TABs.
std::vector<std::string> Row(const std::string& text, const std::string& name) {
  const std::size_t at = text.find("\n" + name + "\t");
  if (at == std::string::npos) return {};
  const std::string line = text.substr(at + 1, text.find('\n', at + 1) - at - 1);
  return Split(line + "\t", "\t");
}

double Read(const std::string& text) {
  double value = std::nan("");
  quorix::decimal::ReadDouble(text, value);
  return value;
}

class FitIntervalsCommand : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    mt::Synthetic rec = mt::MakeRecord(kTruth, {mt::Block{0.075, 2, false}, mt::Block{0.15, 2, false},
                                                mt::Block{0.3, 2, false}}, 100, 4);
    mt::AddNoise(rec, 0.01, 0.001, 0.0, 20261210);
    std::string text = "u;F\n";
    for (std::size_t i = 0; i < rec.u.size(); ++i) {
      text += quorix::decimal::ShortestText(rec.u[i]) + ";" + quorix::decimal::ShortestText(rec.F[i]) + "\n";
    }
    Write("record.csv", text);
  }
  static constexpr mt::TrueModel kTruth{2.5, 0.75, 0.08, 3.1, 0.15};
};

// Each free parameter's row: value, standard error, "low ... high" around the value and the truth, the same
// bounds as the JSON's; a held one's row as before (no interval), its JSON interval the value twice.
TEST_F(FitIntervalsCommand, TextAndJsonShowTheSameIntervals) {
  const double truth[5] = {kTruth.n, kTruth.gamma, kTruth.alpha, kTruth.Fy, kTruth.Uy};
  const char* names[5] = {"n", "gamma", "alpha", "Fy", "Uy"};
  const char* keys[5] = {"n", "gamma", "alpha", "fy", "uy"};
  const CliRun text = Cli({"fit", "record.csv"}), json = Cli({"fit", "--json", "record.csv"});
  ASSERT_EQ(std::pair(text.status, json.status), std::pair(0, 0)) << text.err << json.err;
  EXPECT_TRUE(text.out.starts_with("parameter\tvalue\tstandard error\t95 % interval\n")) << text.out;
  for (int i = 0; i < 5; ++i) {
    const std::vector<std::string> cells = Row(text.out, names[i]);
    ASSERT_EQ(cells.size(), 4u) << names[i] << "\n" << text.out;
    const std::size_t dots = cells[3].find(" ... ");
    ASSERT_NE(dots, std::string::npos) << cells[3];
    const double low = Read(cells[3].substr(0, dots)), high = Read(cells[3].substr(dots + 5)), value = Read(cells[1]);
    EXPECT_LT(low, value) << names[i];
    EXPECT_LT(value, high) << names[i];
    EXPECT_LE(low, truth[i]) << names[i];
    EXPECT_LE(truth[i], high) << names[i];
    EXPECT_EQ(JsonInterval(json.out, keys[i]), (std::array<double, 2>{low, high})) << names[i];
  }
  EXPECT_EQ(Row(text.out, "z0"), (std::vector<std::string>{"z0", "0", "fixed"}));
  EXPECT_EQ(JsonInterval(json.out, "z0"), (std::array<double, 2>{0.0, 0.0}));

  const CliRun held = Cli({"fit", "--json", "record.csv", "--fix", "n=2.5"});
  EXPECT_EQ(JsonInterval(held.out, "n"), (std::array<double, 2>{2.5, 2.5})) << held.err;
  EXPECT_EQ(Row(Cli({"fit", "record.csv", "--fix", "n=2.5"}).out, "n"), (std::vector<std::string>{"n", "2.5", "fixed"}));
  const CliRun z0 = Cli({"fit", "record.csv", "--fit-z0"});
  EXPECT_EQ(Row(z0.out, "z0").size(), 4u) << z0.out << z0.err;
}

// The steady fit has no intervals: neither the column nor the key. The help names the key.
TEST_F(FitIntervalsCommand, SteadyFitHasNoneAndHelpNamesThem) {
  const CliRun text = Cli({"fit", "--steady", "record.csv"}), json = Cli({"fit", "--steady", "--json", "record.csv"});
  EXPECT_TRUE(text.out.starts_with("parameter\tvalue\tstandard error\n")) << text.out << text.err;
  EXPECT_FALSE(Has(json.out, "interval95")) << json.out;
  EXPECT_TRUE(Has(json.out, "\"errors\": {")) << json.out << json.err;
  EXPECT_TRUE(Has(Cli({"fit", "--help"}).out, "\"interval95\""));
}

}  // namespace
