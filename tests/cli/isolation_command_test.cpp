// quorix-cli isolation against the isolation room called directly: the
// JSON's numbers are the room's doubles, the system's N times the bearing's;
// and what it refuses, with exit status 2.
#include <string>
#include <vector>

#include "cli_process.h"
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

TEST_F(IsolationCommandTest, AtGivesTheRoomsPropertiesForOneBearingAndForN) {
  const CliRun run = Cli(With(With({"isolation", "at"}, kCase), {"--D", "0.05", "--bearings", "6", "--json"}));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Missing(run.out, {"schema", "bearings", "bearing", "Keff", "EDC", "betaEff", "Qd", "bilinear", "Kd", "Dy",
                              "system", "Keff"}),
            "");
  const iso::Properties p = iso::PropertiesAt(kC, 0.05);
  const iso::Bilinear b = iso::EquivalentBilinear(p);
  const std::string bearing = run.out.substr(run.out.find("\"bearing\":"), run.out.find("\"system\":") - run.out.find("\"bearing\":"));
  const std::string system = run.out.substr(run.out.find("\"system\":"));
  EXPECT_EQ(JsonNumber(bearing, "Keff"), p.Keff);
  EXPECT_EQ(JsonNumber(bearing, "EDC"), p.EDC);
  EXPECT_EQ(JsonNumber(bearing, "betaEff"), p.betaEff);
  EXPECT_EQ(JsonNumber(bearing, "Qd"), p.Qd);
  EXPECT_EQ(JsonNumber(bearing, "Kd"), b.Kd);
  EXPECT_EQ(JsonNumber(bearing, "Dy"), b.Dy);
  EXPECT_EQ(JsonNumber(system, "Keff"), 6.0 * p.Keff);
  EXPECT_EQ(JsonNumber(system, "EDC"), 6.0 * p.EDC);
  EXPECT_EQ(JsonNumber(system, "betaEff"), p.betaEff);
  EXPECT_EQ(JsonNumber(system, "Kd"), 6.0 * b.Kd);
  EXPECT_EQ(JsonNumber(system, "Dy"), b.Dy);
}

TEST_F(IsolationCommandTest, DesignGivesTheRoomsFixedPoints) {
  iso::DesignInput in;
  in.N = 4;
  in.W = 3000.0;
  in.g = 9.81;
  in.spectrum.table = {{0.5, 1.0}, {1.0, 0.8}, {2.0, 0.4}, {4.0, 0.15}};
  in.code = iso::Code::En1998;
  in.Dmin = 0.01 * kC.Uy;
  in.Dmax = 100.0 * kC.Uy;
  const iso::Design d = iso::DesignDisplacement(in, [](double D) { return iso::PropertiesAt(kC, D); });
  ASSERT_FALSE(d.points.empty());
  const CliRun run = Cli(With(With({"isolation", "design"}, kCase),
                              {"--bearings", "4", "--mass", "305.81039755351685", "--g", "9.81", "--spectrum",
                               "0.5:1,1:0.8,2:0.4,4:0.15", "--code", "en1998", "--json"}));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Missing(run.out, {"schema", "start", "iterations", "reached", "points", "D", "Keff", "Teff", "betaEff", "B",
                              "code", "source", "bilinear"}),
            "");
  // W = mass·g rounds to 3000 within an ulp or two: the same fixed point to 1e-12.
  EXPECT_NEAR(JsonNumber(run.out, "D"), d.points[0].bearing.D, 1e-12 * d.points[0].bearing.D);
  EXPECT_NEAR(JsonNumber(run.out, "Teff"), d.points[0].Teff, 1e-12 * d.points[0].Teff);
  EXPECT_EQ(JsonNumber(run.out, "reached"), d.reached);
}

// Two cases of α = 0.05 have Qd 190 and Kd 1000 at D = 0.15 (βeff rises and
// falls with D/Uy): both are found, each with the target when the room
// computes its loop again.
TEST_F(IsolationCommandTest, InverseGivesEveryCaseWithTheTarget) {
  const CliRun run = Cli({"isolation", "inverse", "--n", "2", "--gamma", "0.5", "--alpha", "0.05", "--D", "0.15", "--qd",
                          "190", "--kd", "1000", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto column = [&](const std::string& key) {
    const std::size_t open = run.out.find("\"" + key + "\": [") + key.size() + 5;
    std::vector<double> values;
    for (const std::string& text : Split(run.out.substr(open, run.out.find(']', open) - open) + ",", ",")) {
      double value = 0.0;
      quorix::decimal::ReadDouble(text.substr(text.find_first_not_of(' ')), value);
      values.push_back(value);
    }
    return values;
  };
  const std::vector<double> fy = column("fy"), uy = column("uy");
  ASSERT_EQ(uy.size(), 2u) << run.out;
  for (std::size_t i = 0; i < uy.size(); ++i) {
    const iso::Properties p = iso::PropertiesAt(quorix::NormalisedCase(2.0, 0.5, 0.05, fy[i], uy[i]), 0.15);
    EXPECT_NEAR(p.Qd, 190.0, 1e-9 * 190.0) << i;
    EXPECT_NEAR(iso::EquivalentBilinear(p).Kd, 1000.0, 1e-8 * 1000.0) << i;
  }
}

TEST_F(IsolationCommandTest, RefusesWithExitStatusTwo) {
  const Args design = With(With({"isolation", "design"}, kCase), {"--W", "3000", "--s1", "0.4"});
  const std::vector<std::pair<Args, std::string>> cases = {
      {With(With({"isolation", "at"}, kCase), {"--D", "-1"}), "D must be positive and finite: -1"},
      {With(With({"isolation", "at"}, kCase), {"--D", "0.1", "--bearings", "2.5"}), "--bearings"},
      {With(With({"isolation", "at"}, kCase), {"--D", "0.1", "--bearing", "2"}), "did you mean --bearings?"},
      {With(With({"isolation", "at"}, kCase), {"--D", "--json"}), "--D"},
      {With(With({"isolation", "at"}, {"--n", "-2"}), {"--D", "0.1"}), "n must be positive"},
      {design, "--g is needed"},
      {With(design, {"--g", "9.81", "--code", "nbc"}), "--code"},
      {With(design, {"--g", "9.81", "--dmin", "1", "--dmax", "0.5"}), "upper end"},
      {With(With({"isolation", "design"}, kCase), {"--W", "3000", "--g", "9.81", "--spectrum", "1:0.5,0.5:0.8"}),
       "rising"},
      // A slowly saturating loop, whose hysteretic share of Kd·D is more than 1e-4 of it.
      {{"isolation", "bounds", "--n", "0.5", "--gamma", "0.5", "--alpha", "0.01", "--fy", "120", "--uy", "0.012", "--W",
        "3000", "--g", "9.81", "--s1", "0.4", "--lambda-min", "1,0.0001", "--lambda-max", "1.2"},
       "the factor on Kd must be at least"},
      {{"isolation", "inverse", "--n", "2", "--gamma", "0.5", "--uy", "0.01", "--D", "0.15", "--keff", "2000"},
       "inverse takes a target"},
      {{"isolation", "inverse", "--n", "2", "--gamma", "0.5", "--D", "0.15", "--qd", "190", "--kd", "1000"},
       "give exactly one"},
      {{"isolation", "inverse", "--n", "2", "--gamma", "0.5", "--alpha", "0.05", "--D", "0.15", "--keff", "2000",
        "--beta-eff", "0.9"},
       "it reaches betaEff from"},
  };
  for (const auto& [args, words] : cases) {
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 2) << words << ": " << run.err;
    EXPECT_TRUE(Has(run.err, words)) << run.err;
  }
}

}  // namespace
