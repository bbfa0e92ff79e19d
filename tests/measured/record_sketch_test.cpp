// The thinned copy a long record's fit searches on (record_sketch.h), on triangles whose turns are known.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "cycles.h"
#include "record_sketch.h"
#include "response.h"
#include "synthetic.h"

namespace quorix::measured::detail {
namespace {

const Case kModel{.n = 2.5, .gamma = 0.75, .alpha = 0.08, .Fy = 3.1, .Uy = 0.15};

struct Path : testing::TrianglePath {
  std::vector<double> F;  // the model's force along u
};

// Triangles (synthetic.h) at each amplitude in units of Uy, the force the model's.
Path Triangles(const std::vector<double>& amplitudes, int cycles, int perQuarter) {
  Path path{testing::Triangles(kModel.Uy, amplitudes, cycles, perQuarter), {}};
  path.F = response::RespondAlong(path.u, kModel).F;
  return path;
}

double SumOfWeights(const Sketch& sk) {
  double sum = 0.0;
  for (double w : sk.rootWeight) sum += w * w;
  return sum;
}

// Of 36001 samples the copy keeps ~20000: sample 0, the first and last that count, every tip, and samples
// between; the model along it is the model along the record, and the weights add up to the samples counted.
TEST(SketchOf, KeepsEveryTurnSoThatTheModelAlongItIsTheModelAlongTheRecord) {
  const Path path = Triangles({0.8, 1.5, 3.0}, 3, 1000);
  const CycleTable table = FindCycles(path.u, path.F);
  const struct {
    std::size_t first, last;
  } spans[] = {{0, path.u.size() - 1}, {4321, 30123}};
  for (const auto& [first, last] : spans) {
    SCOPED_TRACE(::testing::Message() << "samples " << first << " to " << last);
    const Sketch sk = SketchOf(path.u, path.F, table, first, last);
    ASSERT_TRUE(std::is_sorted(sk.index.begin(), sk.index.end()));
    ASSERT_EQ(std::adjacent_find(sk.index.begin(), sk.index.end()), sk.index.end());
    EXPECT_EQ(sk.index.front(), 0u);
    EXPECT_EQ(std::pair(sk.index[sk.first], sk.index[sk.last]), std::pair(first, last));
    EXPECT_LT(sk.index.size(), kSketchSamples + path.tips.size() + 3);
    EXPECT_GT(sk.index.size(), kSketchSamples / 2);
    for (std::size_t tip : path.tips) {
      if (tip > last) break;
      EXPECT_TRUE(std::binary_search(sk.index.begin(), sk.index.end(), tip)) << tip;
    }
    EXPECT_EQ(std::pair(sk.noiseTurns, sk.noiseBand), std::pair(std::size_t{0}, 0.0));
    EXPECT_NEAR(SumOfWeights(sk), static_cast<double>(last - first + 1), 1e-9 * static_cast<double>(last));

    const std::vector<double> along = response::RespondAlong(sk.u, kModel).F;
    double largest = 0.0;
    for (double f : path.F) largest = std::max(largest, std::fabs(f));
    for (std::size_t j = 0; j < sk.index.size(); ++j) {
      ASSERT_EQ(sk.F[j], path.F[sk.index[j]]);
      ASSERT_NEAR(along[j], path.F[sk.index[j]], 1e-12 * largest) << "sample " << sk.index[j];
    }
  }
}

// Jitter of 2e-3 on every other sample turns the motion at each by over 0.1 % of the range: the copy keeps
// only the turns beyond 1 %, and counts those it passed over.
TEST(SketchOf, PassesOverTheTurnsOfNoiseAndCountsThem) {
  Path path = Triangles({0.8, 1.5, 3.0}, 3, 1000);
  for (std::size_t k = 1; k < path.u.size(); k += 2) path.u[k] += 2e-3;
  const CycleTable table = FindCycles(path.u, path.F);
  const Sketch sk = SketchOf(path.u, path.F, table, 0, path.u.size() - 1);
  EXPECT_EQ(sk.noiseBand, 1e-2);
  EXPECT_GT(sk.noiseTurns, path.u.size() * 9 / 10);
  EXPECT_LT(sk.noiseTurns, path.u.size());
  EXPECT_LT(sk.index.size(), kSketchSamples + path.tips.size() + 3);
  EXPECT_NEAR(SumOfWeights(sk), static_cast<double>(path.u.size()), 1e-9 * static_cast<double>(path.u.size()));
}

// 3000 small cycles: the copy keeps the first two steady cycles of each run and weighs for the rest, to
// within a sample a run.
TEST(SketchOf, DropsTheRepeatsOfSteadyCyclesAndWeighsTheirSamples) {
  const Path path = Triangles({1.0, 2.0}, 1500, 3);
  const CycleTable table = FindCycles(path.u, path.F);
  const Sketch sk = SketchOf(path.u, path.F, table, 0, path.u.size() - 1);
  std::size_t kept = 0;
  for (const Cycle& c : table.cycles) {
    kept += std::binary_search(sk.index.begin(), sk.index.end(), c.middle) ? 1 : 0;
  }
  EXPECT_LT(kept, 10u) << "of " << table.cycles.size() << " cycles";
  EXPECT_LT(sk.index.size(), 200u);
  EXPECT_NEAR(SumOfWeights(sk), static_cast<double>(path.u.size()), 4.0);
}

}  // namespace
}  // namespace quorix::measured::detail
