// Runs in a process of its own: the tables must not have been touched yet.
#include <gtest/gtest.h>

#include "specialfunctions.h"

namespace quorix {
namespace {

TEST(DigammaTables, EachIsFilledByItsFirstUseOnly) {
  ASSERT_FALSE(DigammaIntegerTableFilled() || DigammaHalfTableFilled());
  // Poles, and arguments the series answers, need neither table.
  double value = 0.0;
  EXPECT_EQ(Digamma(0.0, value), 0);
  EXPECT_EQ(Digamma(-3.0, value), 0);
  EXPECT_EQ(Digamma(1001.0, value), 2);
  EXPECT_EQ(Digamma(2.25, value), 2);
  EXPECT_FALSE(DigammaIntegerTableFilled() || DigammaHalfTableFilled());

  EXPECT_EQ(Digamma(3.0, value), 1);
  EXPECT_NEAR(value, 1.5 - 0.577215664901533, 1e-15);  // ψ(3) = 3/2 − γ
  EXPECT_TRUE(DigammaIntegerTableFilled());
  EXPECT_FALSE(DigammaHalfTableFilled());
  // A negative half-integer has no entry, but the table is filled before the entry is looked for.
  EXPECT_EQ(Digamma(-1.5, value), 0);
  EXPECT_TRUE(DigammaHalfTableFilled());
  EXPECT_EQ(Digamma(2.5, value), 1);
  EXPECT_NEAR(value, 0.7031566406452432, 1e-15);  // ψ(5/2) = 2 + 2/3 − γ − 2 ln 2
}

}  // namespace
}  // namespace quorix
