// quorix-cli fit's 95 % intervals: the text's column and the JSON's "interval95" on a record integrated from
// known parameters (RK4) with noise on F and u; their coverage is tests/measured's. Beside them, the other fit
// as good that lies outside them, on a record of two layers.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "cli_process.h"
#include "decimal.h"
#include "synthetic.h"

namespace {

using namespace quorix::testing;
namespace mt = quorix::measured::testing;
using FitIntervalsCommand = TempFolderTest;

double Read(const std::string& text) {
  double value = std::nan("");
  quorix::decimal::ReadDouble(text, value);
  return value;
}

// The [low, high] of `key` in the JSON's "interval95" object.
std::array<double, 2> JsonInterval(const std::string& json, const std::string& key) {
  const std::size_t at = json.find("\"" + key + "\": [", json.find("\"interval95\": {"));
  if (at == std::string::npos) return {NAN, NAN};
  const std::size_t open = at + key.size() + 5, comma = json.find(", ", open);
  return {Read(json.substr(open, comma - open)), Read(json.substr(comma + 2))};
}

// The text's row of `name`, split at TABs.
std::vector<std::string> Row(const std::string& text, const std::string& name) {
  const std::size_t at = text.find("\n" + name + "\t");
  return at == std::string::npos ? std::vector<std::string>{}
                                 : Split(text.substr(at + 1, text.find('\n', at + 1) - at - 1) + "\t", "\t");
}

// Each free parameter's row: value, standard error, "low ... high" around the value and the truth, the JSON's
// bounds; a held one has no interval in the text and the value twice in the JSON. The steady fit has none.
TEST_F(FitIntervalsCommand, ShowsTheSameIntervalsInTextAndJson) {
  mt::Synthetic rec = mt::MakeRecord({2.5, 0.75, 0.08, 3.1, 0.15}, {{0.075, 2, false}, {0.15, 2, false},
                                                                     {0.3, 2, false}}, 100, 4);
  mt::AddNoise(rec, 0.01, 0.001, 0.0, 20261210);
  std::string csv = "u;F\n";
  for (std::size_t i = 0; i < rec.u.size(); ++i) {
    csv += quorix::decimal::ShortestText(rec.u[i]) + ";" + quorix::decimal::ShortestText(rec.F[i]) + "\n";
  }
  Write("record.csv", csv);
  const double truth[5] = {2.5, 0.75, 0.08, 3.1, 0.15};
  const char* names[5] = {"n", "gamma", "alpha", "Fy", "Uy"};
  const char* keys[5] = {"n", "gamma", "alpha", "fy", "uy"};
  const CliRun text = Cli({"fit", "record.csv"}), json = Cli({"fit", "--json", "record.csv"});
  ASSERT_EQ(std::pair(text.status, json.status), std::pair(0, 0)) << text.err << json.err;
  EXPECT_TRUE(text.out.starts_with("parameter\tvalue\tstandard error\t95 % interval\n")) << text.out;
  for (int i = 0; i < 5; ++i) {
    const std::vector<std::string> cells = Row(text.out, names[i]);
    ASSERT_EQ(cells.size(), 4u) << names[i] << "\n" << text.out;
    const std::size_t dots = cells[3].find(" ... ");
    const double low = Read(cells[3].substr(0, dots)), high = Read(cells[3].substr(dots + 5)), value = Read(cells[1]);
    EXPECT_TRUE(low < value && value < high && low <= truth[i] && truth[i] <= high) << names[i] << ": " << cells[3];
    EXPECT_EQ(JsonInterval(json.out, keys[i]), (std::array<double, 2>{low, high})) << names[i];
  }
  EXPECT_EQ(Row(text.out, "z0"), (std::vector<std::string>{"z0", "0", "fixed"}));
  EXPECT_EQ(JsonInterval(json.out, "z0"), (std::array<double, 2>{0.0, 0.0}));
  EXPECT_EQ(JsonInterval(Cli({"fit", "--json", "record.csv", "--fix", "n=2.5"}).out, "n"),
            (std::array<double, 2>{2.5, 2.5}));
  EXPECT_EQ(Row(Cli({"fit", "record.csv", "--fix", "n=2.5"}).out, "n"), (std::vector<std::string>{"n", "2.5", "fixed"}));
  EXPECT_EQ(Row(Cli({"fit", "record.csv", "--fit-z0"}).out, "z0").size(), 4u);
  const CliRun steady = Cli({"fit", "--steady", "record.csv"});
  const CliRun steadyJson = Cli({"fit", "--steady", "--json", "record.csv"});
  EXPECT_TRUE(steady.out.starts_with("parameter\tvalue\tstandard error\n")) << steady.out << steady.err;
  EXPECT_TRUE(Has(steadyJson.out, "\"errors\": {") && !Has(steadyJson.out, "interval95")) << steadyJson.out;
  EXPECT_TRUE(Has(Cli({"fit", "--help"}).out, "\"interval95\""));
}

// The record of two layers that one element fits in two valleys alike (synthetic.h), n and γ held: the text
// lists the other fit and standard error warns of it once.
TEST_F(FitIntervalsCommand, WarnsOnceOfTheOtherFitOfTwoLayers) {
  const mt::Synthetic rec = mt::TwoLayers();
  std::string csv = "u;F\n";
  for (std::size_t i = 0; i < rec.u.size(); ++i) {
    csv += quorix::decimal::ShortestText(rec.u[i]) + ";" + quorix::decimal::ShortestText(rec.F[i]) + "\n";
  }
  Write("layers.csv", csv);
  const CliRun run = Cli({"fit", "layers.csv", "--fix", "n=4", "--fix", "gamma=0.5"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Split(run.err, "warning: other fits as good: ").size(), 1u) << run.err;
  EXPECT_TRUE(Has(run.err, "the record does not tell alpha, Fy and Uy apart")) << run.err;
  EXPECT_TRUE(Has(run.out, "\nother fits as good (")) << run.out;
}

}  // namespace
