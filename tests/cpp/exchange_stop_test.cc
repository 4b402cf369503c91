// StopBook internals: trailing rules and their arithmetic, the bounded change
// history, triggering over the crossed price range only, and unlinking.
#include "stop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <utility>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "invariant.h"
#include "saturating.h"

namespace tessarin {
namespace {

StopOrder make_stop(OrderId id, Side side, Price stop_price, std::optional<TrailMethod> trail = std::nullopt,
                    Timestamp timestamp = 0) {
  StopOrder stop;
  stop.id = id;
  stop.side = side;
  stop.stop_price = stop_price;
  stop.quantity = 10;
  stop.timestamp = timestamp == 0 ? id : timestamp;
  stop.trail_method = trail;
  return stop;
}

// ---- trailing rules -------------------------------------------------------------

struct TrailCase {
  std::string name;
  Side side;
  Price initial_stop;
  TrailMethod trail;
  std::vector<Price> prices;          // one trailing update per price
  std::vector<Price> stop_after;      // stop price after each update
  Price final_watermark;
};

void PrintTo(const TrailCase& c, std::ostream* os) { *os << c.name; }

class TrailRuleTest : public testing::TestWithParam<TrailCase> {};

TEST_P(TrailRuleTest, MovesOnlyTowardsThePriceByTheRuleDistance) {
  const TrailCase& c = GetParam();
  ASSERT_EQ(c.prices.size(), c.stop_after.size());
  StopBook book;
  book.insert(make_stop(1, c.side, c.initial_stop, c.trail));
  for (size_t i = 0; i < c.prices.size(); ++i) {
    book.update_trailing_stops(c.prices[i]);
    const StopOrder* stop = book.find(1);
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(stop->stop_price, c.stop_after[i]) << "after update " << i << " at " << c.prices[i];
    // The id is filed under its current stop price and nowhere else.
    EXPECT_EQ(book.ids_at(c.side, stop->stop_price), std::vector<OrderId>{1});
    if (stop->stop_price != c.initial_stop) {
      EXPECT_TRUE(book.ids_at(c.side, c.initial_stop).empty());
    }
  }
  EXPECT_EQ(book.find(1)->watermark, c.final_watermark);
  EXPECT_EQ(book.pending_count(), 1u);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Rules, TrailRuleTest,
    testing::Values(
        // The sell stop follows the high: 9900, then 9950; a dip to 9990 keeps
        // the watermark at 10050 and the stop at 9950.
        TrailCase{"FixedSellFollowsHigh", Side::Sell, 9800, TrailFixed{100}, {10000, 10050, 9990},
                  {9900, 9950, 9950}, 10050},
        TrailCase{"FixedBuyFollowsLow", Side::Buy, 10200, TrailFixed{100}, {10000, 9950, 10010},
                  {10100, 10050, 10050}, 9950},
        // A candidate below the current stop never loosens it.
        TrailCase{"SellNeverLoosens", Side::Sell, 9950, TrailFixed{100}, {10000, 10040}, {9950, 9950}, 10040},
        TrailCase{"BuyNeverLoosens", Side::Buy, 10050, TrailFixed{100}, {10000, 9960}, {10050, 10050}, 9960},
        TrailCase{"ZeroOffsetNeverMoves", Side::Sell, 0, TrailFixed{0}, {10000}, {0}, 10000},
        TrailCase{"NegativeOffsetNeverMoves", Side::Sell, 0, TrailFixed{-5}, {10000}, {0}, 10000},
        // 0.05 x 10050 = 502.5, rounded away from zero to 503.
        TrailCase{"PercentageRoundsHalfUp", Side::Sell, 0, TrailPercentage{0.05}, {10050}, {10050 - 503}, 10050},
        // 0.5 x 5 = 2.5 gives 3 (half-to-even would give 2 and a stop at 3).
        TrailCase{"PercentageHalfAwayNotEven", Side::Sell, -100, TrailPercentage{0.5}, {5}, {2}, 5},
        TrailCase{"PercentageBuy", Side::Buy, 20000, TrailPercentage{0.05}, {10050}, {10050 + 503}, 10050},
        // Distance below one cent after rounding: no move, watermark still kept.
        TrailCase{"PercentageBelowOneCent", Side::Sell, 0, TrailPercentage{0.0001}, {4999}, {0}, 4999},
        TrailCase{"PercentageNaNNeverMoves", Side::Sell, 0, TrailPercentage{kNaN}, {10000}, {0}, 10000},
        // Negative reference: the distance is negative and never moves the stop.
        TrailCase{"PercentageNegativePrice", Side::Sell, -20000, TrailPercentage{0.05}, {-10050}, {-20000}, -10050},
        // No recorded change yet: no distance, but the watermark is set.
        TrailCase{"SmaWithoutChangesOnlyRecordsWatermark", Side::Sell, 0, TrailSmaAbsChange{2.0, 14}, {10000},
                  {0}, 10000},
        // Changes 3 then 1: 3 x 1.25 = 3.75 -> 3, then mean 2 x 1.25 = 2.5 -> 2
        // (truncation; rounding would give 4 and 3).
        TrailCase{"SmaTruncates", Side::Sell, 0, TrailSmaAbsChange{1.25, 14}, {100, 103, 104}, {0, 100, 102}, 104},
        // Period 1 looks at the newest change only: |104 - 103| = 1, x 3 = 3.
        TrailCase{"SmaPeriodLimitsWindow", Side::Sell, 0, TrailSmaAbsChange{3.0, 1}, {100, 110, 111},
                  {0, 80, 108}, 111},
        TrailCase{"SmaPeriodZeroNeverMoves", Side::Sell, 0, TrailSmaAbsChange{2.0, 0}, {100, 110}, {0, 0}, 110},
        // Far from the price limits the arithmetic saturates instead of wrapping.
        TrailCase{"FixedSellSaturatesAtMinPrice", Side::Sell, kMinPrice, TrailFixed{kI64Max}, {-100}, {kMinPrice},
                  -100},
        TrailCase{"FixedBuySaturatesAtMaxPrice", Side::Buy, kMaxPrice, TrailFixed{kI64Max}, {100}, {kMaxPrice},
                  100},
        TrailCase{"FixedBuyMovesToSaturatedCandidate", Side::Buy, kMaxPrice, TrailFixed{kI64Max}, {-100},
                  {kI64Max - 100}, -100},
        // The infinite distance saturates to kI64Max: 10000 - kI64Max.
        TrailCase{"PercentageInfiniteDistanceSaturates", Side::Sell, kMinPrice, TrailPercentage{kInf}, {10000},
                  {kMinPrice + 10001}, 10000},
        TrailCase{"PercentageAtMaxPrice", Side::Sell, 0, TrailPercentage{1e-18}, {kMaxPrice},
                  {kMaxPrice - 9}, kMaxPrice}),
    [](const testing::TestParamInfo<TrailCase>& info) { return info.param.name; });

TEST(TrailingUpdateTest, MovedStopJoinsTheBackOfItsNewPriceList) {
  StopBook book;
  book.insert(make_stop(1, Side::Sell, 9900));                  // plain stop already at 9900
  book.insert(make_stop(2, Side::Sell, 9000, TrailFixed{100}));  // trails up to 9900
  book.update_trailing_stops(10000);
  EXPECT_EQ(book.ids_at(Side::Sell, 9900), (std::vector<OrderId>{1, 2}));
  EXPECT_TRUE(book.ids_at(Side::Sell, 9000).empty());
}

TEST(TrailingUpdateTest, StopsSharingAPeriodSeeTheSameMean) {
  StopBook book;
  book.insert(make_stop(1, Side::Sell, 0, TrailSmaAbsChange{1.0, 2}));
  book.insert(make_stop(2, Side::Sell, 0, TrailSmaAbsChange{2.0, 2}));
  book.insert(make_stop(3, Side::Sell, 0, TrailSmaAbsChange{1.0, 3}));
  for (Price p : {1000, 1010, 1030, 1060}) book.update_trailing_stops(p);
  // Changes 10, 20, 30: mean of the last 2 is 25, of the last 3 is 20.
  EXPECT_EQ(book.find(1)->stop_price, 1060 - 25);
  EXPECT_EQ(book.find(2)->stop_price, 1060 - 50);
  EXPECT_EQ(book.find(3)->stop_price, 1060 - 20);
}

TEST(TrailingUpdateTest, ChangesOfExtremePricesAreExact) {
  StopBook book;
  book.update_trailing_stops(kMinPrice);
  book.update_trailing_stops(kMaxPrice);
  book.update_trailing_stops(kMinPrice);
  EXPECT_EQ(book.abs_changes(), (std::deque<uint64_t>{kU64Max, kU64Max}));
  // The last two changes, 2^64 - 1 and 2^63, must be summed without wrapping;
  // their mean saturates the distance to kI64Max, so the stop sits at 0 - kI64Max.
  book.insert(make_stop(1, Side::Sell, kMinPrice, TrailSmaAbsChange{1.0, 2}));
  book.update_trailing_stops(0);
  EXPECT_EQ(book.find(1)->stop_price, kMinPrice + 1);
  EXPECT_EQ(book.find(1)->watermark, 0);
}

// A direct transcription of the trailing rules, without any shortcut: every
// stop is re-evaluated on every update. The book must agree with it on every
// stop price, watermark and price-list order.
class TrailingModel {
 public:
  void insert(const StopOrder& stop) {
    stops_.push_back(stop);
    lists_[{stop.side, stop.stop_price}].push_back(stop.id);
  }

  void update(Price p) {
    if (last_) changes_.push_back(abs_diff(p, *last_));
    if (changes_.size() > StopBook::kMaxAbsChanges) changes_.erase(changes_.begin());
    last_ = p;
    for (StopOrder& s : stops_) {
      const Price seen = s.watermark.value_or(p);
      const Price w = s.side == Side::Sell ? std::max(p, seen) : std::min(p, seen);
      const std::optional<int64_t> d = distance(*s.trail_method, w);
      if (d && *d >= 1) {
        const Price candidate = s.side == Side::Sell ? sat_sub(w, *d) : sat_add(w, *d);
        if (s.side == Side::Sell ? candidate > s.stop_price : candidate < s.stop_price) {
          std::vector<OrderId>& from = lists_[{s.side, s.stop_price}];
          from.erase(std::find(from.begin(), from.end(), s.id));
          lists_[{s.side, candidate}].push_back(s.id);
          s.stop_price = candidate;
        }
      }
      s.watermark = w;
    }
  }

  void expect_matches(const StopBook& book) const {
    for (const StopOrder& s : stops_) {
      const StopOrder* got = book.find(s.id);
      ASSERT_NE(got, nullptr);
      EXPECT_EQ(got->stop_price, s.stop_price) << "stop " << s.id;
      EXPECT_EQ(got->watermark, s.watermark) << "stop " << s.id;
      EXPECT_EQ(book.ids_at(s.side, s.stop_price), lists_.at({s.side, s.stop_price})) << "stop " << s.id;
    }
  }

 private:
  std::optional<int64_t> distance(const TrailMethod& trail, Price w) const {
    if (const auto* f = std::get_if<TrailFixed>(&trail)) return f->offset;
    if (const auto* pct = std::get_if<TrailPercentage>(&trail)) {
      return saturating_trunc(std::round(pct->fraction * static_cast<double>(w)));
    }
    const auto& sma = std::get<TrailSmaAbsChange>(trail);
    if (sma.period == 0 || changes_.empty()) return std::nullopt;
    const size_t m = std::min<size_t>(sma.period, changes_.size());
    double sum = 0;
    for (size_t i = changes_.size() - m; i < changes_.size(); ++i) sum += static_cast<double>(changes_[i]);
    return saturating_trunc(sum / static_cast<double>(m) * sma.multiplier);
  }

  std::vector<StopOrder> stops_;
  std::map<std::pair<Side, Price>, std::vector<OrderId>> lists_;
  std::vector<uint64_t> changes_;
  std::optional<Price> last_;
};

TEST(TrailingUpdateTest, AgreesWithTheRulesOnARandomWalk) {
  for (uint64_t seed : {3u, 11u, 2024u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937_64 rng(seed);
    const auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    StopBook book;
    TrailingModel model;
    Price price = 10000;
    OrderId next_id = 1;
    for (int step = 0; step < 3000; ++step) {
      if (pick(0, 9) == 0) {
        const Side side = pick(0, 1) ? Side::Buy : Side::Sell;
        // Stops far on the losing side so that none would be crossed: this
        // test is about movement only.
        const Price start = side == Side::Sell ? kMinPrice + pick(0, 5) : kMaxPrice - pick(0, 5);
        TrailMethod trail = TrailFixed{pick(-2, 30)};
        if (pick(0, 2) == 1) trail = TrailPercentage{pick(0, 30) / 1000.0};
        if (pick(0, 2) == 2) trail = TrailSmaAbsChange{pick(1, 12) / 4.0, static_cast<uint64_t>(pick(0, 6))};
        const StopOrder stop = make_stop(next_id++, side, start, trail);
        book.insert(stop);
        model.insert(stop);
      }
      price += pick(-6, 6);
      book.update_trailing_stops(price);
      model.update(price);
      if (step % 100 == 0 || step > 2990) {
        model.expect_matches(book);
        if (HasFailure()) return;
      }
    }
  }
}

// ---- change history -------------------------------------------------------------

TEST(ChangeHistoryTest, KeepsTheMostRecentTenThousandChanges) {
  StopBook book;
  EXPECT_EQ(book.last_price(), std::nullopt);
  // Prices 0, 1, 3, 6, ...: the change of update i is i, so each entry names its update.
  Price price = 0;
  book.update_trailing_stops(price);
  EXPECT_TRUE(book.abs_changes().empty());
  const size_t updates = StopBook::kMaxAbsChanges + 5;
  for (size_t i = 1; i <= updates; ++i) {
    price += static_cast<Price>(i);
    book.update_trailing_stops(price);
  }
  ASSERT_EQ(book.abs_changes().size(), StopBook::kMaxAbsChanges);
  EXPECT_EQ(book.abs_changes().front(), 6u);
  EXPECT_EQ(book.abs_changes().back(), updates);
  EXPECT_EQ(book.last_price(), price);
}

TEST(ChangeHistoryTest, UnchangedPriceRecordsZero) {
  StopBook book;
  book.update_trailing_stops(100);
  book.update_trailing_stops(100);
  book.update_trailing_stops(90);
  EXPECT_EQ(book.abs_changes(), (std::deque<uint64_t>{0, 10}));
}

TEST(ChangeHistoryTest, MeanWindowIsCappedByTheHistoryBound) {
  StopBook book;
  // 10,000 changes of 1 after one change of 1000 that falls out of the window.
  Price price = 0;
  book.update_trailing_stops(price);
  price += 1000;
  book.update_trailing_stops(price);
  for (size_t i = 0; i < StopBook::kMaxAbsChanges; ++i) book.update_trailing_stops(++price);
  book.insert(make_stop(1, Side::Sell, 0, TrailSmaAbsChange{10.0, 1'000'000}));
  book.update_trailing_stops(price);  // appends a 0: mean = 9999 / 10000
  // 10 x 0.9999 = 9.999 -> 9.
  EXPECT_EQ(book.find(1)->stop_price, price - 9);
}

// ---- triggering -----------------------------------------------------------------

TEST(CollectTriggeredTest, TakesOnlyTheCrossedRangeInSubmissionOrder) {
  StopBook book;
  // Submission order (timestamps) differs from price order on purpose.
  book.insert(make_stop(1, Side::Buy, 105, std::nullopt, 40));
  book.insert(make_stop(2, Side::Buy, 100, std::nullopt, 30));
  book.insert(make_stop(3, Side::Buy, 101, std::nullopt, 10));  // not crossed by 100
  book.insert(make_stop(4, Side::Sell, 100, std::nullopt, 20));  // equality triggers
  book.insert(make_stop(5, Side::Sell, 99, std::nullopt, 5));    // not crossed
  book.insert(make_stop(6, Side::Buy, kMinPrice, std::nullopt, 50));
  book.insert(make_stop(7, Side::Sell, kMaxPrice, std::nullopt, 1));
  ASSERT_EQ(book.pending_count(), 7u);

  std::vector<StopOrder> fired = book.collect_triggered(100);
  std::vector<OrderId> ids;
  for (const StopOrder& s : fired) {
    ids.push_back(s.id);
    EXPECT_EQ(s.status, StopStatus::Triggered);
  }
  EXPECT_EQ(ids, (std::vector<OrderId>{7, 4, 2, 6}));
  EXPECT_EQ(book.pending_count(), 3u);
  EXPECT_TRUE(book.is_pending(1));
  EXPECT_TRUE(book.is_pending(3));
  EXPECT_TRUE(book.is_pending(5));
  EXPECT_EQ(book.find(2)->status, StopStatus::Triggered);
  EXPECT_TRUE(book.ids_at(Side::Buy, 100).empty());
  EXPECT_TRUE(book.collect_triggered(100).empty());
}

TEST(CollectTriggeredTest, FiredTrailingStopsLeaveTrailingIds) {
  StopBook book;
  book.insert(make_stop(1, Side::Sell, 85, TrailFixed{10}));
  book.insert(make_stop(2, Side::Sell, 50, TrailFixed{10}));
  book.insert(make_stop(3, Side::Sell, 40, TrailFixed{10}));
  EXPECT_EQ(book.trailing_ids(), (std::vector<OrderId>{1, 2, 3}));
  book.update_trailing_stops(100);  // all three move to 90
  ASSERT_EQ(book.ids_at(Side::Sell, 90), (std::vector<OrderId>{1, 2, 3}));
  ASSERT_TRUE(book.cancel(2));
  EXPECT_EQ(book.trailing_ids(), (std::vector<OrderId>{1, 3}));
  EXPECT_EQ(book.collect_triggered(90).size(), 2u);
  EXPECT_TRUE(book.trailing_ids().empty());
  EXPECT_EQ(book.pending_count(), 0u);
}

// ---- cancel and history ---------------------------------------------------------

TEST(StopCancelTest, UnlinksAPendingStopOnce) {
  StopBook book;
  book.insert(make_stop(1, Side::Buy, 100));
  book.insert(make_stop(2, Side::Buy, 100));
  book.insert(make_stop(3, Side::Buy, 100));
  EXPECT_TRUE(book.cancel(2));
  EXPECT_EQ(book.ids_at(Side::Buy, 100), (std::vector<OrderId>{1, 3}));
  EXPECT_FALSE(book.cancel(2));
  EXPECT_FALSE(book.cancel(99));
  EXPECT_EQ(book.find(2)->status, StopStatus::Cancelled);
  EXPECT_TRUE(book.cancel(1));
  EXPECT_TRUE(book.cancel(3));
  EXPECT_TRUE(book.ids_at(Side::Buy, 100).empty());
  EXPECT_EQ(book.pending_count(), 0u);
  // The emptied price entry is gone: a trade at 100 finds nothing.
  EXPECT_TRUE(book.collect_triggered(100).empty());
}

TEST(StopCancelTest, TriggeredStopCannotBeCancelled) {
  StopBook book;
  book.insert(make_stop(1, Side::Sell, 100));
  ASSERT_EQ(book.collect_triggered(100).size(), 1u);
  EXPECT_FALSE(book.cancel(1));
  EXPECT_EQ(book.find(1)->status, StopStatus::Triggered);
}

TEST(StopCancelTest, CancelFindsATrailingStopAtItsMovedPrice) {
  StopBook book;
  book.insert(make_stop(1, Side::Sell, 0, TrailFixed{10}));
  book.update_trailing_stops(100);
  ASSERT_TRUE(book.cancel(1));
  EXPECT_TRUE(book.ids_at(Side::Sell, 90).empty());
  EXPECT_TRUE(book.trailing_ids().empty());
  EXPECT_TRUE(book.collect_triggered(kMinPrice).empty());
}

TEST(StopHistoryTest, ClearHistoryKeepsOnlyPendingStops) {
  StopBook book;
  book.insert(make_stop(1, Side::Sell, 100));
  book.insert(make_stop(2, Side::Sell, 50, TrailFixed{10}));
  book.insert(make_stop(3, Side::Buy, 200));
  book.cancel(3);
  book.collect_triggered(100);
  book.clear_history();
  EXPECT_EQ(book.find(1), nullptr);
  EXPECT_EQ(book.find(3), nullptr);
  ASSERT_NE(book.find(2), nullptr);
  EXPECT_EQ(book.stored_count(), 1u);
  EXPECT_EQ(book.trailing_ids(), std::vector<OrderId>{2});
}

TEST(StopInsertTest, DuplicateIdIsAnInvariantFailure) {
  StopBook book;
  book.insert(make_stop(7, Side::Buy, 100));
  try {
    book.insert(make_stop(7, Side::Sell, 50));
    FAIL() << "expected an invariant failure";
  } catch (const InvariantFailure& failure) {
    EXPECT_STREQ(failure.what(), "stop order O7 already exists");
  }
  EXPECT_EQ(book.pending_count(), 1u);
}

// ---- equality -------------------------------------------------------------------

// Stop books that differ only in state Python never sees must still differ.
// The trailing stop has a zero offset, so it never moves and only its
// watermark records what it saw.
void insert_base_stops(StopBook& book, bool reversed_buys) {
  book.insert(make_stop(reversed_buys ? 2 : 1, Side::Buy, 500));
  book.insert(make_stop(reversed_buys ? 1 : 2, Side::Buy, 500));
  book.insert(make_stop(3, Side::Sell, 0, TrailFixed{0}));
}

struct InternalsCase {
  std::string name;
  bool reversed_buys;
  std::vector<Price> updates;
};

void PrintTo(const InternalsCase& c, std::ostream* os) { *os << c.name; }

class StopBookEqualityTest : public testing::TestWithParam<InternalsCase> {};

TEST_P(StopBookEqualityTest, SeesInternalState) {
  StopBook a;
  insert_base_stops(a, false);
  for (Price p : {100, 105, 100}) a.update_trailing_stops(p);
  StopBook b;
  insert_base_stops(b, GetParam().reversed_buys);
  for (Price p : GetParam().updates) b.update_trailing_stops(p);
  EXPECT_NE(a, b);
  EXPECT_EQ(a, StopBook(a));
}

INSTANTIATE_TEST_SUITE_P(
    Internals, StopBookEqualityTest,
    testing::Values(
        // One more 0 in the change history; everything else equal.
        InternalsCase{"ChangeHistory", false, {100, 105, 100, 100}},
        // Same changes and last price, but the watermark saw 100, not 105.
        InternalsCase{"Watermark", false, {100, 95, 100}},
        // Same stops, filed at one price in the other order.
        InternalsCase{"ListOrderAtOnePrice", true, {100, 105, 100}}),
    [](const testing::TestParamInfo<InternalsCase>& info) { return info.param.name; });

TEST(TrailMethodTest, EqualityIsBitwiseSoNaNEqualsItself) {
  const TrailMethod nan_pct = TrailPercentage{kNaN};
  EXPECT_EQ(nan_pct, nan_pct);
  EXPECT_NE(TrailMethod{TrailPercentage{0.0}}, TrailMethod{TrailPercentage{-0.0}});
  EXPECT_EQ((TrailMethod{TrailSmaAbsChange{kNaN, 3}}), (TrailMethod{TrailSmaAbsChange{kNaN, 3}}));
  EXPECT_NE((TrailMethod{TrailSmaAbsChange{2.0, 3}}), (TrailMethod{TrailSmaAbsChange{2.0, 4}}));
}

}  // namespace
}  // namespace tessarin
