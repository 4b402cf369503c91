#include "format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tessarin {
namespace {

struct DoubleCase {
  double value;
  const char* shortest;
  const char* debug;
};

class FormatDoubleTest : public testing::TestWithParam<DoubleCase> {};

TEST_P(FormatDoubleTest, ShortestAndDebugForms) {
  const DoubleCase& c = GetParam();
  EXPECT_EQ(format_shortest(c.value), c.shortest);
  EXPECT_EQ(format_debug(c.value), c.debug);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatDoubleTest,
    testing::Values(DoubleCase{1.0, "1", "1.0"}, DoubleCase{2.0, "2", "2.0"},
                    DoubleCase{0.05, "0.05", "0.05"}, DoubleCase{-0.5, "-0.5", "-0.5"},
                    DoubleCase{0.0, "0", "0.0"}, DoubleCase{-0.0, "-0", "-0.0"},
                    DoubleCase{1e21, "1000000000000000000000", "1000000000000000000000.0"},
                    DoubleCase{1.5e-7, "0.00000015", "0.00000015"},
                    DoubleCase{123.456, "123.456", "123.456"},
                    DoubleCase{0.1 + 0.2, "0.30000000000000004", "0.30000000000000004"},
                    DoubleCase{std::numeric_limits<double>::quiet_NaN(), "NaN", "NaN"},
                    DoubleCase{std::numeric_limits<double>::infinity(), "inf", "inf"},
                    DoubleCase{-std::numeric_limits<double>::infinity(), "-inf", "-inf"}));

TEST(FormatFixedTest, RoundsHalfToEvenOnTheExactValue) {
  EXPECT_EQ(format_fixed(100.5, 2), "100.50");
  EXPECT_EQ(format_fixed(0.125, 2), "0.12");   // exactly representable tie: to even
  EXPECT_EQ(format_fixed(0.375, 2), "0.38");
  EXPECT_EQ(format_fixed(1.005, 2), "1.00");   // 1.005 is stored slightly below the tie
  EXPECT_EQ(format_fixed(-0.0, 2), "-0.00");
  EXPECT_EQ(format_fixed(-0.001, 2), "-0.00");
  EXPECT_EQ(format_fixed(92233720368547758.07, 2), "92233720368547760.00");
  EXPECT_EQ(format_fixed(-1.7976931348623157e308, 2).size(), 313u);  // sign, 309 digits, ".00"
}

}  // namespace
}  // namespace tessarin
