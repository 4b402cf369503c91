#include "saturating.h"

#include <gtest/gtest.h>

namespace tessarin {
namespace {

// One row per saturation rule of the header.
TEST(SaturatingTest, SignedRules) {
  EXPECT_EQ(sat_add(kI64Max, int64_t{1}), kI64Max);
  EXPECT_EQ(sat_add(kI64Min, int64_t{-1}), kI64Min);
  EXPECT_EQ(sat_sub(kI64Min, int64_t{1}), kI64Min);
  EXPECT_EQ(sat_sub(kI64Max, int64_t{-1}), kI64Max);
  EXPECT_EQ(sat_sub(int64_t{0}, kI64Min), kI64Max);
  EXPECT_EQ(sat_mul(kI64Max, int64_t{2}), kI64Max);
  EXPECT_EQ(sat_mul(kI64Min, int64_t{2}), kI64Min);
  EXPECT_EQ(sat_mul(kI64Min, int64_t{-1}), kI64Max);
  EXPECT_EQ(sat_neg(kI64Min), kI64Max);
  EXPECT_EQ(sat_abs(kI64Min), kI64Max);
  EXPECT_EQ(sat_div(kI64Min, int64_t{-1}), kI64Max);
  EXPECT_EQ(sat_add(int64_t{-7}, int64_t{3}), -4);
  EXPECT_EQ(sat_mul(int64_t{-7}, int64_t{3}), -21);
}

TEST(SaturatingTest, UnsignedRules) {
  EXPECT_EQ(sat_add(kU64Max, uint64_t{1}), kU64Max);
  EXPECT_EQ(sat_sub(uint64_t{0}, uint64_t{1}), 0u);
  EXPECT_EQ(sat_sub(uint64_t{5}, uint64_t{3}), 2u);
  EXPECT_EQ(sat_mul(kU64Max, uint64_t{2}), kU64Max);
}

TEST(SaturatingTest, DistancesAndTruncation) {
  EXPECT_EQ(abs_diff(kI64Max, kI64Min), kU64Max);
  EXPECT_EQ(abs_diff(-3, 4), 7u);
  EXPECT_EQ(saturating_trunc(1e300), kI64Max);
  EXPECT_EQ(saturating_trunc(-1e300), kI64Min);
  EXPECT_EQ(saturating_trunc(0.0 / 0.0), 0);
  EXPECT_EQ(saturating_trunc(-2.9), -2);
  EXPECT_EQ(saturating_trunc(9223372036854775807.0), kI64Max);  // rounds up to 2^63
}

}  // namespace
}  // namespace tessarin
