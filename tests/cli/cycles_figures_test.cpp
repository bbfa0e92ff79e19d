// quorix-cli cycles' isolator figures (D, Qd, Kd, Dy, the amplitude groups and their ratios) in the text table,
// with the record's units, and the JSON, on bilinear loops whose figures are known in closed form (their
// values over many loops are tests/measured's).
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

// The text table: the figures' columns, the record's units, the groups' means, a dash where a figure does not
// exist and the reason among the notes.
TEST_F(CyclesFiguresTest, TableAndJsonCarryTheFiguresAndWhyOnesAreMissing) {
  Write("lead.csv", LoopsText({1.0, 1.0}, false));
  Write("elastic.csv", LoopsText({1.0, 1.0}, true));
  const CliRun lead = Cli({"cycles", "lead.csv"}), elastic = Cli({"cycles", "elastic.csv"});
  ASSERT_EQ(std::pair(lead.status, elastic.status), std::pair(0, 0)) << lead.err << elastic.err;
  EXPECT_TRUE(elastic.out.starts_with("cycle\tfirst\tlast\tu+\tu-\tF+\tF-\tEDC\tKeff\txi_eff\tsteady\tD\tQd\tKd\tDy\t"
                                      "group\tKeff_ratio\tEDC_ratio\n")) << elastic.out;
  EXPECT_TRUE(Has(elastic.err, "units: u+, u-, D, Dy in mm; F+, F-, Qd in kN; EDC in kN\u00B7mm; Keff, Kd in kN/mm\n") &&
              Has(elastic.err, "group 1 (cycles 1-2): means D 10, Keff 0.2, EDC ")) << elastic.err;
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
                               "branches cross u = 0 at the same force")) << elastic.err;
  EXPECT_TRUE(Has(elastic.err, "no EDC ratio for cycles 1-2: ")) << elastic.err;
  EXPECT_FALSE(Has(lead.err, "no equivalent bilinear loop")) << lead.err;
  // The JSON: a missing figure "nan" with the reason; the help names each key of the answer.
  const std::string json = Cli({"cycles", "--json", "elastic.csv"}).out;
  const std::vector<double> Kd = JsonNumbers(json, "Kd");
  EXPECT_TRUE(Kd.size() == 2 && std::isnan(Kd[0]) && std::isnan(Kd[1])) << json;
  EXPECT_TRUE(Has(json, "\"bilinear_refusal\": [\"Qd = ") && Has(json, ": Qd is not positive")) << json;
  std::string help;  // spaces and line breaks collapsed
  for (const char c : Cli({"cycles", "--help"}).out) {
    if (c != '\n' && !(c == ' ' && !help.empty() && help.back() == ' ')) help += c;
  }
  for (const std::string key : {"D", "Qd", "Kd", "Dy", "group", "Keff_ratio", "EDC_ratio", "groups", "first_cycle",
                                "last_cycle", "first_Keff_ratio", "first_EDC_ratio", "bilinear_refusal"}) {
    EXPECT_TRUE(Has(json, "\"" + key + "\": ") && Has(help, "\"" + key + "\"")) << key;
  }
}

}  // namespace
