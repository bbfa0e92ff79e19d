// quorix-cli cycles' isolator figures: D, Qd, Kd, Dy, the amplitude groups and their ratios, in the text table
// (with the record's units) and the JSON, on bilinear loops whose figures are known in closed form.
#include <cmath>
#include <string>
#include <vector>

#include "cli_process.h"
#include "decimal.h"

namespace {

using namespace quorix::testing;
using CyclesFiguresTest = TempFolderTest;

// Loops of the bilinear law (strength 1, post-yield stiffness 0.1, yield displacement 1.3) at D = 10, the k-th
// with its forces times scales[k]; `elastic` puts F = 0.2·u on the same path instead. Each loop runs from its top
// down and back, `per` samples a straight piece; a sample at rest before them, the last top and rest after.
std::string LoopsText(const std::vector<double>& scales, bool elastic) {
  const double D = 10, Dy = 1.3, Qd = 1, Kd = 0.1, Fm = Qd + Kd * D;
  const double u[5] = {D, D - 2 * Dy, -D, -D + 2 * Dy, D};
  const double F[5] = {Fm, -Qd + Kd * u[1], -Fm, Qd + Kd * u[3], Fm};
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
  add(D, elastic ? 0.2 * D : Fm);
  add(0, 0);
  return text;
}

// The texts of a JSON array of numbers (or of "nan") at the first `key` from `from` on.
std::vector<std::string> Array(const std::string& json, const std::string& key, const std::string& from = "") {
  const std::size_t start = json.find(from);
  const std::size_t at = json.find("\"" + key + "\": [", start == std::string::npos ? 0 : start);
  if (start == std::string::npos || at == std::string::npos) return {"<no " + key + ">"};
  const std::size_t open = json.find('[', at), close = json.find(']', open);
  std::vector<std::string> items;
  for (std::string item : Split(json.substr(open + 1, close - open - 1) + ", ", ", ")) {
    if (!item.empty()) items.push_back(item);
  }
  return items;
}

// The strings of a JSON array of strings at the first `key`, their quotes taken off.
std::vector<std::string> Strings(const std::string& json, const std::string& key) {
  const std::size_t at = json.find("\"" + key + "\": [\"");
  if (at == std::string::npos) return {"<no " + key + ">"};
  const std::size_t open = json.find('[', at) + 2, close = json.find("\"]", open);
  return Split(json.substr(open, close - open) + "\", \"", "\", \"");
}

std::vector<double> Numbers(const std::vector<std::string>& texts) {
  std::vector<double> values;
  for (const std::string& t : texts) values.push_back(t == "\"nan\"" ? NAN : std::stod(t));
  return values;
}

void ExpectNear(const std::vector<double>& got, const std::vector<double>& expected, double tolerance,
                const char* what) {
  ASSERT_EQ(got.size(), expected.size()) << what;
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], expected[i], tolerance) << what << " " << i;
}

TEST_F(CyclesFiguresTest, JsonCarriesTheFiguresAndTheGroups) {
  Write("lead.csv", LoopsText({1.0, 1.1, 1.0}, false));
  const CliRun run = Cli({"cycles", "--json", "lead.csv"});
  ASSERT_EQ(run.status, 0) << run.err;
  const double mean = 3.1 / 3;  // of the scales
  // A cycle runs to the next loop's top, whose force is the next scale's: the trapezoid into it adds
  // ½·Fm·(s' − s)·Δ to the EDC of 4·s·Qd·(D − Dy), Δ the last step of u.
  const double step = (20 - 2.6) / 7, E[3] = {34.8 + 0.1 * step, 34.8 * 1.1 - 0.1 * step, 34.8};
  const double meanE = (E[0] + E[1] + E[2]) / 3;
  const struct {
    const char* key;
    std::vector<double> expected;
    double tolerance;
  } columns[] = {
      {"D", {10, 10, 10}, 0},
      {"Qd", {1, 1.1, 1}, 1e-14},
      {"Kd", {0.1, 0.11, 0.1}, 1e-14},
      {"Dy", {10 - E[0] / 4, 10 - E[1] / 4.4, 10 - E[2] / 4}, 1e-13},
      {"group", {1, 1, 1}, 0},
      {"Keff_ratio", {1 / mean, 1.1 / mean, 1 / mean}, 1e-14},
      {"EDC_ratio", {E[0] / meanE, E[1] / meanE, E[2] / meanE}, 1e-14},
  };
  for (const auto& c : columns) ExpectNear(Numbers(Array(run.out, c.key)), c.expected, c.tolerance, c.key);
  EXPECT_EQ(Strings(run.out, "bilinear_refusal"), (std::vector<std::string>{"", "", ""}));
  const struct {
    const char* key;
    std::vector<double> expected;
  } groups[] = {{"first_cycle", {1}}, {"last_cycle", {3}},           {"D", {10}},
                {"Keff", {0.2 * mean}}, {"EDC", {meanE}},      {"first_Keff_ratio", {1 / mean}},
                {"first_EDC_ratio", {E[0] / meanE}}};
  for (const auto& g : groups) {
    ExpectNear(Numbers(Array(run.out, g.key, "\"groups\": {")), g.expected, 1e-13 * g.expected[0], g.key);
  }
}

// The text table: the figures' columns after the others, the units of the record's header, a dash where a
// figure does not exist with the reason among the notes; the JSON's "nan" and reason.
TEST_F(CyclesFiguresTest, TextTableNamesUnitsAndWhyFiguresAreMissing) {
  Write("lead.csv", LoopsText({1.0, 1.0}, false));
  Write("elastic.csv", LoopsText({1.0, 1.0}, true));
  const CliRun lead = Cli({"cycles", "lead.csv"}), elastic = Cli({"cycles", "elastic.csv"});
  ASSERT_EQ(std::pair(lead.status, elastic.status), std::pair(0, 0)) << lead.err << elastic.err;
  const std::string header = "cycle\tfirst\tlast\tu+\tu-\tF+\tF-\tEDC\tKeff\txi_eff\tsteady\tD\tQd\tKd\tDy\tgroup\t"
                             "Keff_ratio\tEDC_ratio\n";
  for (const CliRun* run : {&lead, &elastic}) {
    EXPECT_TRUE(run->out.starts_with(header)) << run->out;
    EXPECT_TRUE(Has(run->err, "units: u+, u-, D, Dy in mm; F+, F-, Qd in kN; EDC in kN\u00B7mm; Keff, Kd in kN/mm\n"))
        << run->err;
    EXPECT_TRUE(Has(run->err, "group 1 (cycles 1-2): means D 10, Keff 0.2, EDC ")) << run->err;
  }
  const std::vector<std::string> leadRow = Split(Split(lead.out, "\n")[1] + "\t", "\t");
  ASSERT_EQ(leadRow.size(), 18u);
  EXPECT_NEAR(std::stod(leadRow[12]), 1.0, 1e-14);  // Qd
  EXPECT_NEAR(std::stod(leadRow[14]), 1.3, 1e-13);  // Dy
  const std::vector<std::string> elasticRow = Split(Split(elastic.out, "\n")[1] + "\t", "\t");
  ASSERT_EQ(elasticRow.size(), 18u);
  EXPECT_LT(std::fabs(std::stod(elasticRow[12])), 1e-15);  // Qd: the branches cross u = 0 at F = 0, to rounding
  EXPECT_EQ((std::vector<std::string>(elasticRow.begin() + 13, elasticRow.end())),
            (std::vector<std::string>{"\u2014", "\u2014", "1", "1", "\u2014"}));
  EXPECT_TRUE(Has(elastic.err, "no equivalent bilinear loop (Kd, Dy) for cycles 1-2: Qd is not positive: both "
                               "branches cross u = 0 at the same force"))
      << elastic.err;
  EXPECT_TRUE(Has(elastic.err, "no EDC ratio for cycles 1-2: ")) << elastic.err;
  EXPECT_FALSE(Has(lead.err, "no equivalent bilinear loop")) << lead.err;
  const CliRun json = Cli({"cycles", "--json", "elastic.csv"});
  EXPECT_EQ(Array(json.out, "Kd"), (std::vector<std::string>{"\"nan\"", "\"nan\""}));
  const std::vector<std::string> reasons = Strings(json.out, "bilinear_refusal");
  ASSERT_EQ(reasons.size(), 2u);
  EXPECT_TRUE(reasons[0].starts_with("Qd = ") && Has(reasons[0], ": Qd is not positive")) << reasons[0];
}

// cycles --help names every key of the JSON answer, the groups' included.
TEST_F(CyclesFiguresTest, HelpListsEveryJsonKey) {
  Write("lead.csv", LoopsText({1.0, 1.0}, false));
  const CliRun run = Cli({"cycles", "--json", "lead.csv"});
  std::string help;
  for (const char c : Cli({"cycles", "--help"}).out) {
    if (c != '\n') help += (c == ' ' && !help.empty() && help.back() == ' ') ? "" : std::string(1, c);
  }
  const std::string groups = run.out.substr(run.out.find("\"groups\": {"));
  for (const std::string key : {"D", "Qd", "Kd", "Dy", "bilinear_refusal", "group", "Keff_ratio", "EDC_ratio",
                                "groups", "first_cycle", "last_cycle", "first_Keff_ratio", "first_EDC_ratio"}) {
    EXPECT_TRUE(Has(run.out, "\"" + key + "\": ")) << key;  // in the answer
    EXPECT_TRUE(Has(help, "\"" + key + "\"")) << key;      // and in the help
  }
  EXPECT_TRUE(Has(groups, "\"first_cycle\": [1]")) << groups;
}

}  // namespace
