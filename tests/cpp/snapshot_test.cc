#include "snapshot.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <vector>

#include "book.h"
#include "book_fixture.h"
#include "saturating.h"

namespace tessarin {
namespace {

using testing_support::rest;

// Bids 100 (2 orders, one cancelled), 99, 98; asks 101, 103.
class BookSnapshotTest : public testing::Test {
 protected:
  void SetUp() override {
    rest(book_, Side::Buy, 99, 20);
    rest(book_, Side::Buy, 100, 10);
    book_.cancel_order(rest(book_, Side::Buy, 100, 50));
    rest(book_, Side::Buy, 100, 5);
    rest(book_, Side::Buy, 98, 30);
    rest(book_, Side::Sell, 103, 7);
    rest(book_, Side::Sell, 101, 3);
  }
  OrderBook book_;
};

TEST_F(BookSnapshotTest, ListsLevelsBestFirstWithLiveCounts) {
  const BookSnapshot full = book_.full_snapshot();
  EXPECT_EQ(full.bids, (std::vector<LevelSnapshot>{{100, 15, 2}, {99, 20, 1}, {98, 30, 1}}));
  EXPECT_EQ(full.asks, (std::vector<LevelSnapshot>{{101, 3, 1}, {103, 7, 1}}));
}

TEST_F(BookSnapshotTest, TruncatesEachSideToTheRequestedDepth) {
  const BookSnapshot two = book_.snapshot(2);
  EXPECT_EQ(two.bids, (std::vector<LevelSnapshot>{{100, 15, 2}, {99, 20, 1}}));
  EXPECT_EQ(two.asks.size(), 2u);
  const BookSnapshot none = book_.snapshot(0);
  EXPECT_TRUE(none.bids.empty());
  EXPECT_TRUE(none.asks.empty());
  EXPECT_EQ(book_.snapshot(1000), book_.full_snapshot());
}

struct AnalyticsCase {
  const char* name;
  std::vector<LevelSnapshot> bids;
  std::vector<LevelSnapshot> asks;
  std::optional<double> imbalance;
  std::optional<Price> spread;
  std::optional<double> mid;
  std::optional<double> weighted_mid;
};

class SnapshotAnalyticsTest : public testing::TestWithParam<AnalyticsCase> {};

TEST_P(SnapshotAnalyticsTest, ComputesFromTheListedLevels) {
  const AnalyticsCase& c = GetParam();
  const BookSnapshot snapshot{c.bids, c.asks};
  EXPECT_EQ(snapshot.imbalance(), c.imbalance);
  EXPECT_EQ(snapshot.spread(), c.spread);
  EXPECT_EQ(snapshot.mid_price(), c.mid);
  EXPECT_EQ(snapshot.weighted_mid(), c.weighted_mid);
}

constexpr std::nullopt_t kNone = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Cases, SnapshotAnalyticsTest,
    testing::Values(
        AnalyticsCase{"empty", {}, {}, kNone, kNone, kNone, kNone},
        AnalyticsCase{"bids_only", {{100, 300, 1}}, {}, 1.0, kNone, kNone, kNone},
        AnalyticsCase{"three_to_one",
                      {{100, 200, 1}, {99, 100, 1}},
                      {{101, 100, 1}},
                      0.5, 1, 100.5, (100.0 * 100 + 200.0 * 101) / 300},
        // Each best price is weighted by the opposite side's quantity.
        AnalyticsCase{"weighted", {{100, 10, 1}}, {{102, 30, 1}}, -0.5, 2, 101.0, 100.5},
        // Levels whose saturated totals read 0: the quantity sums are 0.
        AnalyticsCase{"zero_quantities", {{100, 0, 2}}, {{102, 0, 1}}, kNone, 2, 101.0, kNone},
        // Sums of cents and quantities saturate instead of wrapping.
        AnalyticsCase{"saturating",
                      {{-1, kU64Max, 1}},
                      {{kMaxPrice, kU64Max, 1}},
                      0.0, kMaxPrice, static_cast<double>(kMaxPrice - 1) / 2.0,
                      (static_cast<double>(kU64Max) * -1.0 +
                       static_cast<double>(kU64Max) * static_cast<double>(kMaxPrice)) /
                          static_cast<double>(kU64Max)},
        // The mid of two prices near the top is exact, not half of a saturated sum.
        AnalyticsCase{"extreme_mid",
                      {{kMaxPrice - 1, 1, 1}},
                      {{kMaxPrice, 1, 1}},
                      0.0, 1, static_cast<double>(kMaxPrice), static_cast<double>(kMaxPrice)},
        AnalyticsCase{"saturating_low",
                      {{kMinPrice, 1, 1}},
                      {{5, 1, 1}},
                      0.0, kMaxPrice, static_cast<double>(kMinPrice + 5) / 2.0,
                      (static_cast<double>(kMinPrice) + 5.0) / 2.0}),
    [](const testing::TestParamInfo<AnalyticsCase>& info) { return info.param.name; });

}  // namespace
}  // namespace tessarin
