#include "price_levels.h"

#include <gtest/gtest.h>

#include <map>
#include <algorithm>
#include <vector>

#include "saturating.h"

namespace tessarin {
namespace {

std::vector<Price> prices_best_first(const PriceLevels& side) {
  std::vector<Price> out;
  for (size_t rank = 0; rank < side.level_count(); ++rank) {
    out.push_back(side.level_by_rank(rank).price());
  }
  return out;
}

PriceLevels ladder(Side side, const std::vector<std::pair<Price, Quantity>>& levels) {
  PriceLevels out(side);
  OrderId id = 1;
  for (auto [price, quantity] : levels) out.get_or_create_level(price).append(id++, quantity);
  return out;
}

struct OrderingCase {
  Side side;
  std::vector<Price> inserted;
  std::vector<Price> best_first;
};

class PriceLevelsOrderingTest : public testing::TestWithParam<OrderingCase> {};

TEST_P(PriceLevelsOrderingTest, KeepsLevelsBestFirstAndCachesTheBest) {
  const OrderingCase& c = GetParam();
  PriceLevels side(c.side);
  EXPECT_EQ(side.best(), std::nullopt);
  for (Price price : c.inserted) {
    side.get_or_create_level(price);
    ASSERT_EQ(side.best(), side.level_by_rank(0).price());
  }
  EXPECT_EQ(prices_best_first(side), c.best_first);
  // Removing from the best end moves the best each time until the side is empty.
  for (size_t i = 0; i < c.best_first.size(); ++i) {
    side.remove_level(c.best_first[i]);
    const std::optional<Price> expected =
        i + 1 < c.best_first.size() ? std::optional<Price>(c.best_first[i + 1]) : std::nullopt;
    EXPECT_EQ(side.best(), expected);
  }
  EXPECT_TRUE(side.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Sides, PriceLevelsOrderingTest,
    testing::Values(
        OrderingCase{Side::Buy, {100, 105, 95, 103, 105}, {105, 103, 100, 95}},
        OrderingCase{Side::Sell, {100, 105, 95, 103, 95}, {95, 100, 103, 105}},
        OrderingCase{Side::Buy, {kMinPrice, kMaxPrice, 0}, {kMaxPrice, 0, kMinPrice}},
        OrderingCase{Side::Sell, {kMinPrice, kMaxPrice, 0}, {kMinPrice, 0, kMaxPrice}}));

// Thousands of levels force the storage through block splits and block removals;
// a std::map from price to total is the reference for order, best and lookups.
class ManyLevelsTest : public testing::TestWithParam<Side> {};

TEST_P(ManyLevelsTest, StaysOrderedThroughInsertsAndRemovalsEverywhere) {
  const Side side_kind = GetParam();
  PriceLevels side(side_kind);
  std::map<Price, Quantity> reference;
  uint64_t state = 12345;
  auto next_price = [&] {  // LCG over 0..4999: adds land at both ends and inside
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<Price>((state >> 33) % 5000);
  };
  for (int step = 0; step < 30000; ++step) {
    const Price price = next_price();
    // Grow for the first half, then shrink: removals empty whole blocks.
    if ((step < 15000 ? step % 4 != 0 : step % 4 == 0)) {
      side.get_or_create_level(price).append(static_cast<OrderId>(step + 1), 1);
      ++reference[price];
    } else {
      side.remove_level(price);
      reference.erase(price);
    }
    ASSERT_EQ(side.level_count(), reference.size()) << "step " << step;
    const std::optional<Price> best =
        reference.empty() ? std::nullopt
                          : std::optional<Price>(side_kind == Side::Buy
                                                     ? reference.rbegin()->first
                                                     : reference.begin()->first);
    ASSERT_EQ(side.best(), best) << "step " << step;
    ASSERT_EQ(side.best_level() == nullptr ? best : side.best_level()->price(), best);
    ASSERT_EQ(side.find_level(price) != nullptr, reference.count(price) == 1) << "step " << step;
  }
  std::vector<Price> expected;
  for (const auto& [price, total] : reference) expected.push_back(price);
  if (side_kind == Side::Buy) std::reverse(expected.begin(), expected.end());
  EXPECT_EQ(prices_best_first(side), expected);
  ASSERT_GT(expected.size(), 1000u) << "the walk must leave many blocks behind";
  Quantity best_half = 0;
  for (size_t rank = 0; rank <= expected.size() / 2; ++rank) best_half += reference[expected[rank]];
  EXPECT_EQ(side.quantity_at_or_better(expected[expected.size() / 2]), best_half);

  // Equality does not depend on how levels fall into blocks: rebuild best first.
  PriceLevels rebuilt(side_kind);
  for (Price price : expected) rebuilt.get_or_create_level(price);
  EXPECT_NE(rebuilt, side) << "totals differ: the rebuilt levels are empty";
  PriceLevels same_prices(side_kind);
  for (size_t rank = 0; rank < side.level_count(); ++rank) {
    same_prices.get_or_create_level(expected[rank]) = side.level_by_rank(rank);
  }
  EXPECT_EQ(same_prices, side);
}

INSTANTIATE_TEST_SUITE_P(Sides, ManyLevelsTest, testing::Values(Side::Buy, Side::Sell));

TEST(PriceLevelsTest, GetOrCreateReturnsTheExistingLevel) {
  PriceLevels side(Side::Sell);
  side.get_or_create_level(100).append(1, 5);
  side.get_or_create_level(100).append(2, 7);
  EXPECT_EQ(side.level_count(), 1u);
  EXPECT_EQ(side.find_level(100)->total_quantity(), 12u);
  EXPECT_EQ(side.find_level(101), nullptr);
}

TEST(PriceLevelsTest, RemovingANonBestOrAbsentLevelKeepsTheBest) {
  PriceLevels side(Side::Buy);
  for (Price price : {100, 99, 98}) side.get_or_create_level(price);
  side.remove_level(99);
  side.remove_level(42);
  EXPECT_EQ(side.best(), 100);
  EXPECT_EQ(prices_best_first(side), (std::vector<Price>{100, 98}));
}

struct DepthCase {
  Side side;
  Price limit;
  Quantity expected;
};

class QuantityAtOrBetterTest : public testing::TestWithParam<DepthCase> {};

// Bids 100x10, 99x20, 98x30; asks 101x1, 102x2, 103x4.
TEST_P(QuantityAtOrBetterTest, SumsLevelsAtOrBetterThanTheLimit) {
  const DepthCase& c = GetParam();
  const PriceLevels side = c.side == Side::Buy
                               ? ladder(Side::Buy, {{100, 10}, {99, 20}, {98, 30}})
                               : ladder(Side::Sell, {{101, 1}, {102, 2}, {103, 4}});
  EXPECT_EQ(side.quantity_at_or_better(c.limit), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, QuantityAtOrBetterTest,
    testing::Values(DepthCase{Side::Sell, 100, 0},  // below the best ask
                    DepthCase{Side::Sell, 101, 1}, DepthCase{Side::Sell, 102, 3},
                    DepthCase{Side::Sell, 1000, 7}, DepthCase{Side::Sell, kMaxPrice, 7},
                    DepthCase{Side::Sell, kMinPrice, 0},
                    DepthCase{Side::Buy, 101, 0},  // above the best bid
                    DepthCase{Side::Buy, 100, 10}, DepthCase{Side::Buy, 99, 30},
                    DepthCase{Side::Buy, kMinPrice, 60}, DepthCase{Side::Buy, kMaxPrice, 0}));

TEST(PriceLevelsTest, QuantityAtOrBetterIsZeroOnAnEmptySideAndSaturates) {
  EXPECT_EQ(PriceLevels(Side::Sell).quantity_at_or_better(kMaxPrice), 0u);
  const PriceLevels asks = ladder(Side::Sell, {{101, kU64Max - 1}, {102, 5}});
  EXPECT_EQ(asks.quantity_at_or_better(101), kU64Max - 1);
  EXPECT_EQ(asks.quantity_at_or_better(102), kU64Max);
}

TEST(PriceLevelsTest, CompactReportsTheNewNumberOfEveryLiveEntryOfCompactedLevels) {
  PriceLevels side(Side::Sell);
  Level& level = side.get_or_create_level(100);
  const uint64_t first = level.append(1, 1);
  level.append(2, 1);
  side.get_or_create_level(101).append(3, 1);  // no tombstones: left alone
  ASSERT_TRUE(side.find_level(100)->tombstone(first, 1, 1));
  std::vector<std::pair<OrderId, uint64_t>> renumbered;
  side.compact([&](OrderId id, uint64_t sequence) { renumbered.emplace_back(id, sequence); });
  const Level& compacted = *side.find_level(100);
  EXPECT_EQ(renumbered, (std::vector<std::pair<OrderId, uint64_t>>{
                            {2, compacted.front_sequence()}}));
  EXPECT_EQ(compacted.tombstone_count(), 0u);
  EXPECT_EQ(compacted.queue_length(), 1u);
}

}  // namespace
}  // namespace tessarin
