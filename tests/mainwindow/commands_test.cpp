#include "commands.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <tuple>

#include "numbertext.h"

namespace quorix {
namespace {

// The model's known results for the window's initial texts, to six
// decimals, in the order of the result labels; Complementary differs from
// Direct in Kcd and Kda only.
TEST(SolveCase, InitialTextsGiveTheKnownResultsWithNineDecimals) {
  for (const auto& [complementary, kcd, kda] : {std::tuple{false, -0.287250, 0.653372}, {true, 1.016538, 0.617340}}) {
    const std::array<double, kResultCount> expected = {0.853990, 2.198171, 0.286000, 2.484171, kcd,
                                                       kda,      0.659019, 0.732244, 0.209212};
    BoucWenCase bw;
    SolveCase(CaseTexts{.Complementary = complementary}, bw);
    const std::array<std::string, kResultCount> shown = ResultTexts(bw);
    for (int i = 0; i < kResultCount; ++i) {
      SCOPED_TRACE(std::string(kResultNames[i]) + " = " + shown[i] + (complementary ? ", Complementary" : ""));
      ASSERT_NE(shown[i].find('.'), std::string::npos);
      EXPECT_EQ(shown[i].size() - shown[i].find('.') - 1, 9u) << "nine decimals";
      EXPECT_NEAR(ParseNumber(shown[i]), expected[i], 5e-7);
    }
  }
}

TEST(ReadCase, StopsAtTheFirstFieldBeyondRangeLeavingEarlierFieldsWritten) {
  BoucWenCase bw;
  bw.Fy = bw.Uy = bw.UmaxOverUy = 42.0;
  bw.Complementary = false;
  EXPECT_THROW(ReadCase(CaseTexts{.Nee = "3", .AlphaSmall = " 0 . 2", .Fy = "1e999"}, bw), NumberOutOfRange);
  EXPECT_EQ(bw.Nee, 3.0);
  EXPECT_EQ(bw.BetaSmall, 0.1);
  EXPECT_EQ(bw.GammaSmall, 0.9);
  EXPECT_EQ(bw.AlphaSmall, 0.2);
  EXPECT_EQ(bw.Fy, 42.0);
  EXPECT_EQ(bw.Uy, 42.0);
  EXPECT_EQ(bw.UmaxOverUy, 42.0);
  EXPECT_FALSE(bw.Complementary) << "the option is read after the seven fields";
}

TEST(ResultTexts, ShowTheEdgesOfTheResultRange) {
  BoucWenCase bw;
  SolveCase(CaseTexts{.UmaxOverUy = "100"}, bw);  // beyond the amplitude reached at Za → 1
  EXPECT_EQ(ResultTexts(bw)[0], "1.000000000");
  // Direct with U = 0: Kcd is −0, shown without a sign.
  SolveCase(CaseTexts{.UmaxOverUy = "0", .Complementary = false}, bw);
  ASSERT_TRUE(std::signbit(bw.Kcd));
  EXPECT_EQ(ResultTexts(bw)[4], "0.000000000");
  // Fy·Uy beyond the double range: DE overflows and is shown as such.
  SolveCase(CaseTexts{.Fy = "1e300", .Uy = "1e300"}, bw);
  EXPECT_EQ(ResultTexts(bw)[8], "Infinity");
}

}  // namespace
}  // namespace quorix
