// quorix-cli isolation: its options reach the isolation room (whose numbers are tests/isolation's), its JSON
// names, design's map D -> next D on a geometric series, and what it refuses, with exit status 2.
#include <string>
#include <vector>

#include "cli_process.h"
#include "decimal.h"
#include "design.h"
#include "isolation.h"

namespace {

using namespace quorix::testing;
using IsolationCommandTest = TempFolderTest;
namespace iso = quorix::isolation;

const Args kCase{"--n", "1.5", "--gamma", "0.7", "--alpha", "0.08", "--fy", "120", "--uy", "0.012"};
const quorix::Case kC = quorix::NormalisedCase(1.5, 0.7, 0.08, 120.0, 0.012);

Args With(const Args& head, const Args& tail) {
  Args all = head;
  all.insert(all.end(), tail.begin(), tail.end());
  return all;
}

// at: the room's figures for one bearing, the system's N times them; design: the room's fixed point of the
// spectrum and code given, W = mass·g; inverse: both cases with the targets.
TEST_F(IsolationCommandTest, OptionsReachTheRoom) {
  const CliRun at = Cli(With(With({"isolation", "at"}, kCase), {"--D", "0.05", "--bearings", "6", "--json"}));
  const std::size_t system = at.out.find("\"system\":");
  ASSERT_NE(system, std::string::npos) << at.out << at.err;
  const double Keff = iso::PropertiesAt(kC, 0.05).Keff;
  EXPECT_EQ(std::pair(JsonNumber(at.out, "Keff"), JsonNumber(at.out.substr(system), "Keff")), std::pair(Keff, 6 * Keff));
  const iso::DesignInput in{.N = 4,
                            .W = 3000.0,
                            .g = 9.81,
                            .spectrum = {.S1 = 0.0, .table = {{0.5, 1.0}, {1.0, 0.8}, {2.0, 0.4}, {4.0, 0.15}}},
                            .code = iso::Code::En1998,
                            .Dmin = 0.01 * kC.Uy,
                            .Dmax = 100.0 * kC.Uy};
  const iso::Design d = iso::DesignDisplacement(in, [](double D) { return iso::PropertiesAt(kC, D); });
  ASSERT_FALSE(d.points.empty());
  const CliRun design = Cli(With(With({"isolation", "design"}, kCase),
                                 {"--bearings", "4", "--mass", "305.81039755351685", "--g", "9.81", "--spectrum",
                                  "0.5:1,1:0.8,2:0.4,4:0.15", "--code", "en1998", "--json"}));
  ASSERT_EQ(design.status, 0) << design.err;
  EXPECT_EQ(Missing(design.out, {"schema", "start", "iterations", "reached", "points", "D", "Keff", "Teff", "betaEff",
                                 "B", "code", "source", "bilinear"}), "");
  // W = mass·g rounds to 3000 within an ulp or two: the same fixed point to 1e-12.
  EXPECT_NEAR(JsonNumber(design.out, "D"), d.points[0].bearing.D, 1e-12 * d.points[0].bearing.D);
  const CliRun inverse = Cli({"isolation", "inverse", "--n", "2", "--gamma", "0.5", "--alpha", "0.05", "--D", "0.15",
                              "--qd", "190", "--kd", "1000", "--json"});
  const std::vector<double> fy = JsonNumbers(inverse.out, "fy"), uy = JsonNumbers(inverse.out, "uy");
  ASSERT_EQ(std::tuple(inverse.status, fy.size(), uy.size()), std::tuple(0, 2u, 2u)) << inverse.out << inverse.err;
  EXPECT_NEAR(iso::PropertiesAt(quorix::NormalisedCase(2.0, 0.5, 0.05, fy[1], uy[1]), 0.15).Qd, 190.0, 1e-9 * 190.0);
}

const Args kDesign = With(With({"isolation", "design"}, kCase),
                          {"--bearings", "4", "--W", "3000", "--g", "9.81", "--s1", "0.4", "--code", "aashto", "--json"});

// --map-points samples from the range's lower end to its upper end, evenly in log D, for the model's loop and
// the bilinear one alike; none unless asked for. At a fixed point the map gives that point back.
TEST_F(IsolationCommandTest, MapSamplesAGeometricSeriesAndGivesAFixedPointBack) {
  const CliRun run = Cli(With(kDesign, {"--dmin", "0.001", "--dmax", "10", "--map-points", "5"}));
  const std::size_t map = run.out.find("\"map\":");
  const std::vector<double> D = JsonNumbers(run.out, "D", map), expected{0.001, 0.01, 0.1, 1.0, 10.0};
  ASSERT_EQ(std::tuple(run.status, D.size(), JsonNumbers(run.out, "next", map).size()), std::tuple(0, 5u, 5u)) << run.out;
  for (std::size_t i = 0; i < D.size(); ++i) EXPECT_NEAR(D[i], expected[i], 1e-13 * expected[i]) << i;
  EXPECT_EQ(JsonNumbers(run.out, "D", run.out.find("\"map\":", map + 1)), D) << "the bilinear loop's map";
  const CliRun design = Cli(kDesign);
  EXPECT_FALSE(Has(design.out, "\"map\""));
  const double point = JsonNumber(design.out, "D");
  const CliRun at = Cli(With(kDesign, {"--dmin", quorix::decimal::ShortestText(point), "--dmax",
                                       quorix::decimal::ShortestText(2.0 * point), "--map-points", "2"}));
  ASSERT_EQ(at.status, 0) << at.err;
  EXPECT_NEAR(JsonNumbers(at.out, "next", at.out.find("\"map\":")).at(0), point, 1e-9 * point);
}

TEST_F(IsolationCommandTest, RefusesWithExitStatusTwo) {
  const Args at = With({"isolation", "at"}, kCase);
  const Args inverse{"isolation", "inverse", "--n", "2", "--gamma", "0.5", "--D", "0.15"};
  const std::vector<std::pair<Args, std::string>> cases = {
      {With(at, {"--D", "-1"}), "D must be positive and finite: -1"},
      {With(at, {"--D", "0.1", "--bearings", "2.5"}), "--bearings"},
      {With(at, {"--D", "0.1", "--bearing", "2"}), "did you mean --bearings?"},
      {With(at, {"--D", "--json"}), "--D"},
      {With(With({"isolation", "design"}, kCase), {"--W", "3000", "--s1", "0.4"}), "--g is needed"},
      {With(kDesign, {"--code", "nbc"}), "--code"},
      // A slowly saturating loop, whose hysteretic share of Kd·D is more than 1e-4 of it.
      {{"isolation", "bounds", "--n", "0.5", "--gamma", "0.5", "--alpha", "0.01", "--fy", "120", "--uy", "0.012", "--W",
        "3000", "--g", "9.81", "--s1", "0.4", "--lambda-min", "1,0.0001", "--lambda-max", "1.2"},
       "the factor on Kd must be at least"},
      {With(inverse, {"--uy", "0.01", "--keff", "2000"}), "inverse takes a target"},
      {With(inverse, {"--qd", "190", "--kd", "1000"}), "give exactly one"},
      {With(kDesign, {"--map-points", "1"}), "--map-points"},
      {With(kDesign, {"--map-points", "10001"}), "--map-points"},
      {With(kDesign, {"--map-points", "2.5"}), "--map-points"}};
  for (const auto& [args, words] : cases) {
    const CliRun run = Cli(args);
    EXPECT_EQ(std::pair(run.status, Has(run.err, words)), std::pair(2, true)) << words << ": " << run.err;
  }
}

}  // namespace
