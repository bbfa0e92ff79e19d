// verify against records of OpenSees's documented BoucWen update (backward Euler, Newton) at three step
// sizes, a fine RK4 record of the same law (z in the program's own units), and a planted error.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "opensees_boucwen_steps.h"
#include "verify.h"

namespace quorix::verify {
namespace {

using testing::BackwardEulerRecord;
using testing::FineRecord;
using testing::OpenSeesBoucWenLaw;
using testing::SineHistory;

Report Check(const testing::ProgramRecord& r, const OpenSeesBoucWenLaw& law, bool withZ = true, Options o = {}) {
  return Verify(r.u, r.F, withZ ? r.z : std::vector<double>{}, ModelOfOpenSees(law.Tcl()), o);
}

// Backward Euler is of first order: each quartering of the step cuts the largest difference of F and of z by
// about four (the ratio is only asked to exceed 3), and the coarsest record is told apart from the model.
TEST(Verify, DifferenceFallsWithTheStep) {
  const OpenSeesBoucWenLaw law;
  const int perCycle[] = {40, 160, 640};
  std::vector<Report> reports;
  for (int steps : perCycle) reports.push_back(Check(BackwardEulerRecord(law, SineHistory(3.0, 3, steps)), law));
  for (std::size_t i = 1; i < reports.size(); ++i) {
    EXPECT_GT(reports[i - 1].force.relative, 3.0 * reports[i].force.relative) << perCycle[i];
    EXPECT_GT(reports[i - 1].z->relative, 3.0 * reports[i].z->relative) << perCycle[i];
    EXPECT_GT(reports[i - 1].force.rms, 3.0 * reports[i].force.rms) << perCycle[i];
  }
  EXPECT_EQ(reports.front().verdict, Verdict::kDiffers);
  // Two full cycles by both forces; backward Euler's loop is fatter than the model's at the coarse step.
  ASSERT_EQ(reports.front().cycles.size(), 2u);
  EXPECT_GT(std::fabs(reports.front().cycles[0].program / reports.front().cycles[0].exact - 1.0),
            std::fabs(reports.back().cycles[0].program / reports.back().cycles[0].exact - 1.0));
}

// The fine RK4 record in OpenSees's own units lies within its integration error of the model: z mapped by
// the material's scale (a wrong z_u would show at once), and both EDCs alike. A force off by 1e-3 of its
// largest value at one sample is found at that sample, with that size, in F's figures and not in z's.
TEST(Verify, FineRecordAndPlantedError) {
  const OpenSeesBoucWenLaw law;
  testing::ProgramRecord r = FineRecord(law, SineHistory(3.0, 3, 100), 64);
  const Report clean = Check(r, law);
  EXPECT_LT(clean.force.relative, 1e-8);
  EXPECT_LT(clean.z->relative, 1e-8);
  EXPECT_EQ(clean.verdict, Verdict::kAgrees);
  ASSERT_EQ(clean.cycles.size(), 2u);
  for (const CycleEnergy& c : clean.cycles) EXPECT_NEAR(c.program / c.exact, 1.0, 1e-8);

  for (const std::size_t at : {std::size_t{1}, std::size_t{137}, r.u.size() - 1}) {
    testing::ProgramRecord planted = r;
    const double size = 1e-3 * clean.force.scale;
    planted.F[at] += size;
    const Report found = Check(planted, law);
    EXPECT_EQ(found.force.at, at);
    EXPECT_NEAR(found.force.largest / size, 1.0, 1e-4) << at;
    EXPECT_NEAR(found.relative, 1e-3, 1e-7) << at;
    EXPECT_NEAR(found.force.rms, size / std::sqrt(static_cast<double>(r.u.size())), 1e-3 * size) << at;
    EXPECT_LT(found.z->relative, 1e-8);
  }
}

// The initial state: by default the record's first z (here 0.4 in OpenSeesBoucWen's units), unless given.
TEST(Verify, InitialStateFromTheRecord) {
  const OpenSeesBoucWenLaw law;
  testing::ProgramRecord r = FineRecord(law, SineHistory(3.0, 1, 200), 16);
  const ProgramModel model = ModelOfOpenSees(law.Tcl());
  for (double& z : r.z) z = 0.4;  // a record whose z column starts at 0.4
  const Report fromRecord = Verify(r.u, r.F, r.z, model);
  EXPECT_NEAR(fromRecord.z0, 0.4, 1e-15);
  // At u = 0 the model's force is the program's hysteretic force of z = 0.4: (1 - alpha)·ko·0.4.
  EXPECT_NEAR(fromRecord.exactF[0], (1.0 - law.alpha) * law.ko * 0.4, 1e-14);
  Options o;
  o.z0 = 0.0;
  EXPECT_EQ(Verify(r.u, r.F, r.z, model, o).z0, 0.0);
}

// The program's z over Quorix's: z_u of each program's law, (Ao/s)^(1/n) for BoucWen (z a length),
// s^(-1/eta) for BoucWenOriginal, 1 for CSI's link (s = beta + gamma of the material).
TEST(Verify, ZScaleOfEachProgram) {
  struct Row {
    const char* text;
    bool csi;
    double zu;
  } const rows[] = {
      {"uniaxialMaterial BoucWen 1 0.1 20 2 0.3 0.6 1.5 0 0 0", false, std::sqrt(1.5 / 0.9)},
      {"uniaxialMaterial BoucWen 1 0.05 7 1.5 0.5 0.5 1 0 0 0", false, 1.0},
      {"uniaxialMaterial BoucWenOriginal 1 2e5 355 0.02 0 2 3 0.2 0.4", false, std::pow(0.6, -1.0 / 3.0)},
      {"k=2e4,yield=150,ratio=0.08,exp=1.5", true, 1.0},
  };
  for (const Row& row : rows) {
    const ProgramModel m = row.csi ? ModelOfCsiWen(row.text) : ModelOfOpenSees(row.text);
    EXPECT_NEAR(m.zScale / row.zu, 1.0, 4e-16) << row.text;
  }
}

TEST(Verify, Refusals) {
  const ProgramModel model = ModelOfCase(NormalisedCase(2.0, 0.5, 0.1, 1.0, 1.0));
  const std::vector<double> u{0.0, 1.0, -1.0, 1.0}, F{0.0, 1.0, -1.0, 1.0}, shortF{0.0, 1.0};
  const std::vector<double> nanF{0.0, NAN, -1.0, 1.0}, saturatedZ{1.0, 1.0, 1.0, 1.0};
  Options negative;
  negative.tolerance = -1.0;
  struct Row {
    std::vector<double> F, z;
    Options options;
  };
  const Row rows[] = {{shortF, {}, {}}, {nanF, {}, {}}, {F, saturatedZ, {}}, {F, {}, negative}};
  for (const Row& row : rows) EXPECT_THROW(Verify(u, row.F, row.z, model, row.options), Refusal);
}

}  // namespace
}  // namespace quorix::verify
