// quorix-cli isolation design --map-points: the map D -> next D, sampled on a geometric series from the range's
// lower end to its upper end; on the S1 branch each value is g·S1·Teff/(4π²·B(βeff)) with the B rules' own
// numbers written out here; at a fixed point the map gives that point back.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <ostream>
#include <string>
#include <vector>

#include "cli_process.h"
#include "decimal.h"
#include "design.h"
#include "isolation.h"

namespace {

using namespace quorix::testing;
using IsolationMapTest = TempFolderTest;

const Args kDesign{"isolation", "design", "--n", "1.5", "--gamma", "0.7", "--alpha", "0.08", "--fy", "120", "--uy",
                   "0.012", "--bearings", "4", "--W", "3000", "--g", "9.81", "--s1", "0.4", "--json"};

Args With(const Args& more) {
  Args args = kDesign;
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// The numbers of the array `key` at or after `from`.
std::vector<double> Column(const std::string& json, const std::string& key, std::size_t from = 0) {
  const std::size_t at = json.find("\"" + key + "\": [", from);
  if (at == std::string::npos) return {};
  const std::size_t open = at + key.size() + 5;
  std::vector<double> values;
  for (const std::string& text : Split(json.substr(open, json.find(']', open) - open) + ",", ",")) {
    values.push_back(std::stod(text));
  }
  return values;
}

// B(βeff) of each rule, from the codes' tables.
double B(const std::string& code, double beta) {
  if (code == "aashto") return beta <= 0.3 ? std::pow(beta / 0.05, 0.3) : 1.7;
  if (code == "en1998") return 1.0 / std::max(0.55, std::sqrt(10.0 / (5.0 + 100.0 * beta)));
  const double percent[] = {2, 5, 10, 20, 30, 40, 50}, b[] = {0.8, 1.0, 1.2, 1.5, 1.7, 1.9, 2.0};
  const double p = std::clamp(100.0 * beta, 2.0, 50.0);
  const int i = static_cast<int>(std::upper_bound(percent, percent + 6, p) - percent);
  return b[i - 1] + (b[i] - b[i - 1]) * (p - percent[i - 1]) / (percent[i] - percent[i - 1]);
}

TEST_F(IsolationMapTest, SamplesAreTheFormulasValuesOnAGeometricSeries) {
  const quorix::Case c = quorix::NormalisedCase(1.5, 0.7, 0.08, 120.0, 0.012);
  const struct {
    std::string code, dmin, dmax, points;
    std::vector<double> D;
  } cases[] = {{"asce7", "0.001", "10", "5", {0.001, 0.01, 0.1, 1.0, 10.0}},
               {"aashto", "0.002", "0.2", "3", {0.002, 0.02, 0.2}},
               {"en1998", "0.0005", "0.5", "2", {0.0005, 0.5}}};
  for (const auto& m : cases) {
    const CliRun run = Cli(With({"--code", m.code, "--dmin", m.dmin, "--dmax", m.dmax, "--map-points", m.points}));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::size_t map = run.out.find("\"map\":");
    const std::vector<double> D = Column(run.out, "D", map), next = Column(run.out, "next", map);
    ASSERT_EQ(D.size(), m.D.size()) << m.code;
    ASSERT_EQ(next.size(), m.D.size()) << m.code;
    for (std::size_t i = 0; i < D.size(); ++i) {
      EXPECT_NEAR(D[i], m.D[i], 1e-13 * m.D[i]) << i;
      const quorix::isolation::Properties p = quorix::isolation::PropertiesAt(c, D[i]);
      const double Teff = 2.0 * std::numbers::pi * std::sqrt(3000.0 / (4.0 * p.Keff * 9.81));
      const double expected = 9.81 * 0.4 * Teff / (4.0 * std::numbers::pi * std::numbers::pi * B(m.code, p.betaEff));
      EXPECT_NEAR(next[i], expected, 1e-12 * expected) << m.code << " at D " << D[i];
    }
    // The bilinear loop's map follows the model's, at the same displacements.
    EXPECT_EQ(Column(run.out, "D", run.out.find("\"map\":", map + 1)), D) << m.code;
  }
}

TEST_F(IsolationMapTest, GivesEachFixedPointBack) {
  const CliRun design = Cli(kDesign);
  ASSERT_EQ(design.status, 0) << design.err;
  EXPECT_FALSE(Has(design.out, "\"map\"")) << "no map unless asked for";
  const std::vector<double> points = Column(design.out, "D");
  ASSERT_FALSE(points.empty());
  for (const double D : points) {
    const CliRun run = Cli(With({"--dmin", quorix::decimal::ShortestText(D), "--dmax",
                                      quorix::decimal::ShortestText(2.0 * D), "--map-points", "2"}));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NEAR(Column(run.out, "next", run.out.find("\"map\":")).at(0), D, 1e-9 * D);
  }
}

TEST_F(IsolationMapTest, RefusesACountThatIsNoneOrFromTwoTo10000) {
  for (const std::string count : {"1", "2.5", "10001", "abc", "1e999"}) {
    const CliRun run = Cli(With({"--map-points", count}));
    EXPECT_EQ(run.status, 2) << count;
    EXPECT_TRUE(Has(run.out, "--map-points")) << count << ": " << run.out;
  }
}

}  // namespace
