// quorix-cli cycles' isolator figures (D, Qd, Kd, Dy, the amplitude groups and their ratios) in the text table,
// with the record's units, and the JSON, on bilinear loops whose figures are known in closed form.
#include <cmath>
#include <string>
#include <vector>

#include "cli_process.h"
#include "decimal.h"

namespace {

using namespace quorix::testing;
using CyclesFiguresTest = TempFolderTest;

// Bilinear loops (Qd 1, Kd 0.1, Dy 1.3) at D = 10, the k-th with its forces times scales[k], or F = 0.2·u on
// the same path (`elastic`); 7 samples a straight piece, from rest, ending on the last top and rest.
std::string LoopsText(const std::vector<double>& scales, bool elastic) {
  const double u[5] = {10, 7.4, -10, -7.4, 10}, F[5] = {2, -0.26, -2, 0.26, 2};
  std::string text = "u [mm];F [kN]\n0;0\n";
  const auto add = [&text](double x, double f) {
    text += quorix::decimal::ShortestText(x) + ";" + quorix::decimal::ShortestText(f) + "\n";
  };
  for (double s : scales) {
    for (int piece = 0; piece < 4; ++piece) {
      for (int k = 0; k < 7; ++k) {
        const double x = u[piece] + k / 7.0 * (u[piece + 1] - u[piece]);
        add(x, elastic ? 0.2 * x : s * (F[piece] + k / 7.0 * (F[piece + 1] - F[piece])));
      }
    }
  }
  add(10, 2), add(0, 0);
  return text;
}

// The numbers of the JSON array at the first `key` from `from` on ("nan" read as NaN).
std::vector<double> Numbers(const std::string& json, const std::string& key, const std::string& from = "") {
  const std::size_t at = json.find("\"" + key + "\": [", json.find(from));
  if (at == std::string::npos) return {};
  const std::size_t open = json.find('[', at), close = json.find(']', open);
  std::vector<double> values;
  for (const std::string& t : Split(json.substr(open + 1, close - open - 1) + ", ", ", ")) {
    if (!t.empty()) values.push_back(t == "\"nan\"" ? NAN : std::stod(t));
  }
  return values;
}

// The JSON's figures and groups; the help names every key of the answer.
TEST_F(CyclesFiguresTest, JsonCarriesTheFiguresAndTheGroups) {
  Write("lead.csv", LoopsText({1.0, 1.1, 1.0}, false));
  const CliRun run = Cli({"cycles", "--json", "lead.csv"});
  ASSERT_EQ(run.status, 0) << run.err;
  const double mean = 3.1 / 3;
  // A cycle runs into the next loop's top: ½·Fm·(s' − s)·Δ joins its EDC of 4·s·Qd·(D − Dy), Δ the last step.
  const double step = (20 - 2.6) / 7, E[3] = {34.8 + 0.1 * step, 34.8 * 1.1 - 0.1 * step, 34.8};
  const double meanE = (E[0] + E[1] + E[2]) / 3;
  const struct {
    const char* key;
    std::vector<double> expected;
    const char* from;
  } columns[] = {
      {"D", {10, 10, 10}, ""},
      {"Qd", {1, 1.1, 1}, ""},
      {"Kd", {0.1, 0.11, 0.1}, ""},
      {"Dy", {10 - E[0] / 4, 10 - E[1] / 4.4, 10 - E[2] / 4}, ""},
      {"group", {1, 1, 1}, ""},
      {"Keff_ratio", {1 / mean, 1.1 / mean, 1 / mean}, ""},
      {"EDC_ratio", {E[0] / meanE, E[1] / meanE, E[2] / meanE}, ""},
      {"first_cycle", {1}, "\"groups\": {"},
      {"last_cycle", {3}, "\"groups\": {"},
      {"Keff", {0.2 * mean}, "\"groups\": {"},
      {"EDC", {meanE}, "\"groups\": {"},
      {"first_Keff_ratio", {1 / mean}, "\"groups\": {"},
      {"first_EDC_ratio", {E[0] / meanE}, "\"groups\": {"},
  };
  std::string help;  // spaces and line breaks collapsed
  for (const char c : Cli({"cycles", "--help"}).out) {
    if (c != '\n' && !(c == ' ' && !help.empty() && help.back() == ' ')) help += c;
  }
  for (const auto& c : columns) {
    const std::vector<double> got = Numbers(run.out, c.key, c.from);
    ASSERT_EQ(got.size(), c.expected.size()) << c.key;
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], c.expected[i], 1e-13 * c.expected[i]) << c.key;
    EXPECT_TRUE(Has(help, std::string("\"") + c.key + "\"")) << c.key;
  }
  EXPECT_TRUE(Has(run.out, "\"bilinear_refusal\": [\"\", \"\", \"\"]")) << run.out;
  EXPECT_TRUE(Has(help, "\"bilinear_refusal\"") && Has(help, "\"groups\""));
}

// The text table: the figures' columns, the record's units, a dash where a figure does not exist and the reason
// among the notes; the JSON's "nan" and reason.
TEST_F(CyclesFiguresTest, TextTableNamesUnitsAndWhyFiguresAreMissing) {
  Write("lead.csv", LoopsText({1.0, 1.0}, false));
  Write("elastic.csv", LoopsText({1.0, 1.0}, true));
  const CliRun lead = Cli({"cycles", "lead.csv"}), elastic = Cli({"cycles", "elastic.csv"});
  ASSERT_EQ(std::pair(lead.status, elastic.status), std::pair(0, 0)) << lead.err << elastic.err;
  for (const CliRun* run : {&lead, &elastic}) {
    EXPECT_TRUE(run->out.starts_with("cycle\tfirst\tlast\tu+\tu-\tF+\tF-\tEDC\tKeff\txi_eff\tsteady\tD\tQd\tKd\tDy\t"
                                     "group\tKeff_ratio\tEDC_ratio\n"))
        << run->out;
    EXPECT_TRUE(Has(run->err, "units: u+, u-, D, Dy in mm; F+, F-, Qd in kN; EDC in kN\u00B7mm; Keff, Kd in kN/mm\n"))
        << run->err;
    EXPECT_TRUE(Has(run->err, "group 1 (cycles 1-2): means D 10, Keff 0.2, EDC ")) << run->err;
  }
  const std::vector<std::string> leadRow = Split(Split(lead.out, "\n")[1] + "\t", "\t");
  ASSERT_EQ(leadRow.size(), 18u);
  EXPECT_NEAR(std::stod(leadRow[12]), 1.0, 1e-14);  // Qd
  EXPECT_NEAR(std::stod(leadRow[14]), 1.3, 1e-13);  // Dy
  const std::vector<std::string> row = Split(Split(elastic.out, "\n")[1] + "\t", "\t");
  ASSERT_EQ(row.size(), 18u);
  EXPECT_LT(std::fabs(std::stod(row[12])), 1e-15);  // Qd: both branches cross u = 0 at F = 0, to rounding
  EXPECT_EQ(std::vector<std::string>(row.begin() + 13, row.end()),
            (std::vector<std::string>{"\u2014", "\u2014", "1", "1", "\u2014"}));
  EXPECT_TRUE(Has(elastic.err, "no equivalent bilinear loop (Kd, Dy) for cycles 1-2: Qd is not positive: both "
                               "branches cross u = 0 at the same force"))
      << elastic.err;
  EXPECT_TRUE(Has(elastic.err, "no EDC ratio for cycles 1-2: ")) << elastic.err;
  EXPECT_FALSE(Has(lead.err, "no equivalent bilinear loop")) << lead.err;
  const CliRun json = Cli({"cycles", "--json", "elastic.csv"});
  const std::vector<double> Kd = Numbers(json.out, "Kd");
  EXPECT_TRUE(Kd.size() == 2 && std::isnan(Kd[0]) && std::isnan(Kd[1])) << json.out;
  EXPECT_TRUE(Has(json.out, "\"bilinear_refusal\": [\"Qd = ") && Has(json.out, ": Qd is not positive")) << json.out;
}

}  // namespace
