// Exchange internals: counter consumption per request, the trigger cascade and
// its pass bound, trailing updates before collection, saturating queries, and
// replay equivalence of whole exchanges (stop-book internals included).
#include "exchange.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "saturating.h"

namespace tessarin {
namespace {

// ---- counters -------------------------------------------------------------------

struct CounterCase {
  std::string name;
  std::function<void(Exchange&)> request;
  uint64_t ids_drawn;
  uint64_t clock_ticks;
};

void PrintTo(const CounterCase& c, std::ostream* os) { *os << c.name; }

class CounterConsumptionTest : public testing::TestWithParam<CounterCase> {};

// Book with asks 100 x 5 and 101 x 5 and a trade at 100 behind it.
Exchange seeded_exchange() {
  Exchange ex;
  ex.submit_limit(Side::Sell, 100, 6, TimeInForce::GTC);
  ex.submit_limit(Side::Sell, 101, 5, TimeInForce::GTC);
  ex.submit_market(Side::Buy, 1);
  return ex;
}

TEST_P(CounterConsumptionTest, DrawsIdsAndTicksAsDocumented) {
  Exchange ex = seeded_exchange();
  const OrderId id_before = ex.book().next_order_id();
  const Timestamp clock_before = ex.book().clock();
  const size_t events_before = ex.events().size();
  GetParam().request(ex);
  EXPECT_EQ(ex.book().next_order_id() - id_before, GetParam().ids_drawn);
  EXPECT_EQ(ex.book().clock() - clock_before, GetParam().clock_ticks);
  // Every request is recorded once, whatever its outcome.
  EXPECT_EQ(ex.events().size(), events_before + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, CounterConsumptionTest,
    testing::Values(
        CounterCase{"RestingLimit", [](Exchange& ex) { ex.submit_limit(Side::Buy, 90, 1, TimeInForce::GTC); }, 1, 1},
        CounterCase{"ZeroQuantity", [](Exchange& ex) { ex.submit_limit(Side::Buy, 100, 0, TimeInForce::GTC); }, 1, 1},
        // A killed FOK order is not stored but still draws an id and a tick.
        CounterCase{"RejectedFok",
                    [](Exchange& ex) {
                      const SubmitResult r = ex.submit_limit(Side::Buy, 101, 11, TimeInForce::FOK);
                      EXPECT_EQ(r.status, OrderStatus::Cancelled);
                      EXPECT_FALSE(ex.get_order(r.order_id).has_value());
                    },
                    1, 1},
        // One tick for the order, one per trade.
        CounterCase{"FokFillingTwoLevels",
                    [](Exchange& ex) { ex.submit_limit(Side::Buy, 101, 10, TimeInForce::FOK); }, 1, 3},
        CounterCase{"MarketWithoutLiquidity", [](Exchange& ex) { ex.submit_market(Side::Sell, 5); }, 1, 1},
        CounterCase{"CancelUnknown", [](Exchange& ex) { ex.cancel(999); }, 0, 0},
        CounterCase{"CancelResting", [](Exchange& ex) { ex.cancel(2); }, 0, 0},
        CounterCase{"ModifyToZero", [](Exchange& ex) { ex.modify(2, 100, 0); }, 0, 0},
        CounterCase{"ModifyUnknown", [](Exchange& ex) { ex.modify(999, 100, 1); }, 0, 0},
        CounterCase{"ModifyResting", [](Exchange& ex) { ex.modify(2, 102, 5); }, 1, 1},
        CounterCase{"PendingStop", [](Exchange& ex) { ex.submit_stop_market(Side::Buy, 105, 1); }, 1, 1},
        // The stop and then the market order it becomes, which trades once.
        CounterCase{"StopTriggeredAtOnce",
                    [](Exchange& ex) {
                      EXPECT_EQ(ex.submit_stop_market(Side::Buy, 100, 1).status, StopStatus::Triggered);
                    },
                    2, 3},
        CounterCase{"TrailingStopWaits",
                    [](Exchange& ex) {
                      EXPECT_EQ(ex.submit_trailing_stop_market(Side::Buy, 100, 1, TrailFixed{5}).status,
                                StopStatus::Pending);
                    },
                    1, 1}),
    [](const testing::TestParamInfo<CounterCase>& info) { return info.param.name; });

// ---- triggering -----------------------------------------------------------------

// Asks at 101, 102, ... one lot each, and buy stops one lot each at 101, 102, ...:
// every triggered stop lifts the next ask, which triggers the next stop.
TEST(TriggerCascadeTest, EndsAfterOneHundredPassesAndResumesOnTheNextTrade) {
  constexpr int kAsks = 200;
  constexpr int kStops = 150;
  Exchange ex;
  for (int k = 0; k < kAsks; ++k) ex.submit_limit(Side::Sell, 101 + k, 1, TimeInForce::GTC);
  std::vector<OrderId> stop_ids;
  for (int k = 0; k < kStops; ++k) stop_ids.push_back(ex.submit_stop_market(Side::Buy, 101 + k, 1).order_id);
  ASSERT_EQ(ex.pending_stop_count(), static_cast<size_t>(kStops));

  const SubmitResult first = ex.submit_market(Side::Buy, 1);
  ASSERT_EQ(first.trades.size(), 1u);  // the stops' fills are not this order's
  // Pass n fires the stop at 100 + n, which trades at 101 + n.
  constexpr int kPasses = Exchange::kMaxTriggerPasses;
  EXPECT_EQ(ex.trades().size(), static_cast<size_t>(1 + kPasses));
  EXPECT_EQ(ex.last_trade_price(), 101 + kPasses);
  EXPECT_EQ(ex.pending_stop_count(), static_cast<size_t>(kStops - kPasses));
  // The next stop is crossed by the last trade but waits for the next processing.
  EXPECT_EQ(ex.get_stop_order(stop_ids[kPasses])->stop_price, 101 + kPasses);
  EXPECT_EQ(ex.get_stop_order(stop_ids[kPasses])->status, StopStatus::Pending);
  EXPECT_EQ(ex.get_stop_order(stop_ids[kPasses - 1])->status, StopStatus::Triggered);

  ex.submit_market(Side::Buy, 1);
  EXPECT_EQ(ex.pending_stop_count(), 0u);
  EXPECT_EQ(ex.trades().size(), static_cast<size_t>(2 + kStops));
  // Nothing but the two market orders and the stop submissions was recorded.
  EXPECT_EQ(ex.events().size(), static_cast<size_t>(kAsks + kStops + 2));
}

TEST(TriggerTest, StopsCrossedTogetherRunInSubmissionOrderWithFreshIds) {
  Exchange ex;
  ex.submit_limit(Side::Buy, 100, 10, TimeInForce::GTC);  // id 1
  // Price order (100 before 105) is the reverse of submission order.
  const OrderId first = ex.submit_stop_limit(Side::Sell, 105, 90, 2, TimeInForce::GTC).order_id;  // id 2
  const OrderId second = ex.submit_stop_market(Side::Sell, 100, 1).order_id;                      // id 3
  ex.submit_market(Side::Sell, 1);  // id 4, trades at 100 and crosses both stops
  ASSERT_EQ(ex.trades().size(), 3u);
  // Stop 2 runs first as limit order 5, then stop 3 as market order 6.
  EXPECT_EQ(ex.trades()[1].aggressor_order_id, 5u);
  EXPECT_EQ(ex.trades()[1].quantity, 2u);
  EXPECT_EQ(ex.trades()[2].aggressor_order_id, 6u);
  EXPECT_EQ(ex.trades()[2].quantity, 1u);
  EXPECT_EQ(ex.get_stop_order(first)->status, StopStatus::Triggered);
  EXPECT_EQ(ex.get_stop_order(second)->status, StopStatus::Triggered);
  EXPECT_EQ(ex.get_order(5)->time_in_force, TimeInForce::GTC);
  EXPECT_EQ(ex.get_order(6)->time_in_force, TimeInForce::IOC);
  EXPECT_EQ(ex.book().next_order_id(), 7u);
  EXPECT_EQ(ex.events().size(), 4u);
}

// A buy trailing stop whose first move comes with a price above it must fire in
// the same pass: the trailing update runs before collection.
TEST(TriggerTest, StopMovedByATradeFiresOnThatTrade) {
  Exchange ex;
  for (Price p : {100, 130, 131}) ex.submit_limit(Side::Sell, p, 1, TimeInForce::GTC);
  const OrderId stop = ex.submit_trailing_stop_market(Side::Buy, 1000, 1, TrailSmaAbsChange{0.5, 14}).order_id;
  ex.submit_market(Side::Buy, 1);  // trades at 100: no change yet, watermark 100
  EXPECT_EQ(ex.get_stop_order(stop)->stop_price, 1000);
  EXPECT_EQ(ex.get_stop_order(stop)->watermark, 100);
  ex.submit_market(Side::Buy, 1);  // trades at 130: D = 15, stop 100 + 15 <= 130
  const StopOrder fired = *ex.get_stop_order(stop);
  EXPECT_EQ(fired.stop_price, 115);
  EXPECT_EQ(fired.status, StopStatus::Triggered);
  EXPECT_EQ(ex.last_trade_price(), 131);
}

TEST(TriggerTest, ImmediateTriggerRunsAFullTrailingUpdate) {
  Exchange ex = seeded_exchange();  // last trade at 100, no change recorded yet
  ASSERT_TRUE(ex.stop_book().abs_changes().empty());
  ex.submit_stop_market(Side::Buy, 100, 1);  // fires at once and trades at 100
  // Processing for the submission appended one change, the pass after the
  // stop's own trade another.
  EXPECT_EQ(ex.stop_book().abs_changes(), (std::deque<uint64_t>{0, 0}));
  EXPECT_EQ(ex.stop_book().last_price(), 100);
}

TEST(TriggerTest, StopLimitThatDoesNotCrossRestsAsANewOrder) {
  Exchange ex = seeded_exchange();
  const StopSubmitResult r = ex.submit_stop_limit(Side::Buy, 100, 50, 3, TimeInForce::GTC);
  EXPECT_EQ(r.status, StopStatus::Triggered);
  const OrderId rested = r.order_id + 1;
  ASSERT_TRUE(ex.get_order(rested).has_value());
  EXPECT_EQ(ex.get_order(rested)->status, OrderStatus::New);
  EXPECT_EQ(ex.best_bid(), 50);
  EXPECT_FALSE(ex.get_order(r.order_id).has_value());  // the stop's id is not an order
  // A cancel of the finished stop falls through to the order table.
  EXPECT_EQ(ex.cancel(r.order_id).error, CancelError::OrderNotFound);
}

// ---- queries at the price limits -------------------------------------------------

TEST(ExchangeQueryTest, SpreadSaturatesAcrossThePriceRange) {
  Exchange ex;
  ex.submit_limit(Side::Buy, kMinPrice, 1, TimeInForce::GTC);
  ex.submit_limit(Side::Sell, kMaxPrice, 1, TimeInForce::GTC);
  EXPECT_EQ(ex.spread(), kI64Max);
  ex.submit_limit(Side::Buy, kMaxPrice - 1, 1, TimeInForce::GTC);
  EXPECT_EQ(ex.spread(), 1);
}

TEST(ExchangeQueryTest, MarketOrdersReachExtremeRestingPrices) {
  Exchange ex;
  ex.submit_limit(Side::Sell, kMaxPrice, 2, TimeInForce::GTC);
  ex.submit_stop_market(Side::Sell, kMinPrice, 1);  // fires only on a trade at kMinPrice
  const SubmitResult r = ex.submit_market(Side::Buy, 3);
  EXPECT_EQ(r.filled_quantity, 2u);
  EXPECT_EQ(r.cancelled_quantity, 1u);
  EXPECT_EQ(r.status, OrderStatus::PartiallyFilled);
  EXPECT_EQ(ex.last_trade_price(), kMaxPrice);
  EXPECT_EQ(ex.pending_stop_count(), 1u);
}

// ---- apply and replay -----------------------------------------------------------

// A random request mix over a narrow band of prices so that orders cross, stops
// fire and trailing stops move; ids are drawn around the issued range so that
// cancels and modifies hit live, finished, stop and unknown ids.
class RequestGenerator {
 public:
  explicit RequestGenerator(uint64_t seed) : rng_(seed) {}

  Event next(const Exchange& ex) {
    const Price mid = ex.last_trade_price().value_or(10000);
    switch (pick(0, 99) / 10) {
      case 0: case 1: case 2:
        return SubmitLimitEvent{side(), price(mid), quantity(), tif()};
      case 3:
        return SubmitMarketEvent{side(), quantity()};
      case 4: case 5:
        return CancelEvent{some_id(ex)};
      case 6:
        return ModifyEvent{some_id(ex), price(mid), pick(0, 9) == 0 ? 0 : quantity()};
      case 7:
        return pick(0, 1) ? Event{SubmitStopMarketEvent{side(), price(mid), quantity()}}
                          : Event{SubmitStopLimitEvent{side(), price(mid), price(mid), quantity(), tif()}};
      default:
        return pick(0, 1)
                   ? Event{SubmitTrailingStopMarketEvent{side(), price(mid), quantity(), trail()}}
                   : Event{SubmitTrailingStopLimitEvent{side(), price(mid), price(mid), quantity(), tif(), trail()}};
    }
  }

  bool coin(int one_in) { return pick(0, one_in - 1) == 0; }

 private:
  uint64_t pick(uint64_t lo, uint64_t hi) { return std::uniform_int_distribution<uint64_t>(lo, hi)(rng_); }
  Side side() { return pick(0, 1) ? Side::Buy : Side::Sell; }
  Price price(Price mid) { return mid - 20 + static_cast<Price>(pick(0, 40)); }
  uint64_t quantity() { return pick(1, 30); }
  TimeInForce tif() {
    const uint64_t k = pick(0, 5);
    return k < 4 ? TimeInForce::GTC : (k == 4 ? TimeInForce::IOC : TimeInForce::FOK);
  }
  OrderId some_id(const Exchange& ex) { return pick(1, ex.book().next_order_id() + 2); }
  TrailMethod trail() {
    switch (pick(0, 2)) {
      case 0: return TrailFixed{static_cast<int64_t>(pick(0, 15))};
      case 1: return TrailPercentage{static_cast<double>(pick(0, 20)) / 10000.0};
      default: return TrailSmaAbsChange{static_cast<double>(pick(1, 8)) / 4.0, pick(0, 20)};
    }
  }

  std::mt19937_64 rng_;
};

std::vector<Trade> own_trades_of_direct_call(Exchange& ex, const Event& event) {
  return std::visit(
      [&ex](const auto& e) -> std::vector<Trade> {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, SubmitLimitEvent>) {
          return ex.submit_limit(e.side, e.price, e.quantity, e.time_in_force).trades;
        } else if constexpr (std::is_same_v<E, SubmitMarketEvent>) {
          return ex.submit_market(e.side, e.quantity).trades;
        } else if constexpr (std::is_same_v<E, CancelEvent>) {
          ex.cancel(e.order_id);
        } else if constexpr (std::is_same_v<E, ModifyEvent>) {
          return ex.modify(e.order_id, e.new_price, e.new_quantity).trades;
        } else if constexpr (std::is_same_v<E, SubmitStopMarketEvent>) {
          ex.submit_stop_market(e.side, e.stop_price, e.quantity);
        } else if constexpr (std::is_same_v<E, SubmitStopLimitEvent>) {
          ex.submit_stop_limit(e.side, e.stop_price, e.limit_price, e.quantity, e.time_in_force);
        } else if constexpr (std::is_same_v<E, SubmitTrailingStopMarketEvent>) {
          ex.submit_trailing_stop_market(e.side, e.stop_price, e.quantity, e.trail_method);
        } else {
          ex.submit_trailing_stop_limit(e.side, e.stop_price, e.limit_price, e.quantity, e.time_in_force,
                                        e.trail_method);
        }
        return {};
      },
      event);
}

TEST(ReplayTest, RandomFlowReplaysToEqualExchangesAtEveryCheckpoint) {
  for (uint64_t seed : {1u, 7u, 42u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RequestGenerator gen(seed);
    Exchange live;     // driven through the request operations
    Exchange applied;  // driven through apply()
    std::vector<Exchange> checkpoints;
    constexpr size_t kSteps = 3000;
    constexpr size_t kEvery = 250;
    for (size_t step = 1; step <= kSteps; ++step) {
      const Event event = gen.next(live);
      const std::vector<Trade> direct = own_trades_of_direct_call(live, event);
      ASSERT_EQ(applied.apply(event), direct) << "step " << step << ": " << event_debug_text(event);
      // Compaction changes nothing observable, so it may happen on one side only.
      if (gen.coin(50)) live.compact();
      if (step % kEvery == 0) {
        ASSERT_EQ(live, applied) << "step " << step;
        checkpoints.push_back(live);
      }
    }
    // The flow must have exercised the stop machinery to mean anything.
    ASSERT_GT(live.trades().size(), 500u);
    ASSERT_FALSE(live.stop_book().abs_changes().empty());
    ASSERT_GT(live.stop_book().stored_count(), live.pending_stop_count());

    const std::vector<Event>& log = live.events();
    ASSERT_EQ(log.size(), kSteps);
    for (size_t i = 0; i < checkpoints.size(); ++i) {
      const size_t length = (i + 1) * kEvery;
      const Exchange replayed = Exchange::replay(std::span<const Event>(log.data(), length));
      EXPECT_EQ(replayed, checkpoints[i]) << "prefix of " << length << " events";
      EXPECT_EQ(replayed.stop_book(), checkpoints[i].stop_book());
    }
    // Dropping one event must be visible to equality (it is not a no-op test).
    const Exchange shorter = Exchange::replay(std::span<const Event>(log.data(), log.size() - 1));
    EXPECT_NE(shorter, live);
  }
}

TEST(ReplayTest, EqualityIgnoresOnlyWhatIsNotObservable) {
  Exchange a;
  a.submit_limit(Side::Buy, 100, 5, TimeInForce::GTC);
  a.submit_limit(Side::Buy, 100, 5, TimeInForce::GTC);
  a.cancel(1);
  Exchange b = Exchange::replay(a.events());
  b.compact();
  EXPECT_EQ(a, b);
  b.clear_order_history();
  EXPECT_NE(a, b);
  Exchange c = Exchange::replay(a.events());
  c.clear_trades();  // no trades: nothing changes
  EXPECT_EQ(a, c);
}

// apply() records its event before running it, which may move the log; an
// event taken from the log itself must still be read intact.
TEST(ReplayTest, ApplyingAnEventOfTheOwnLogIsSafe) {
  Exchange ex;
  ex.submit_trailing_stop_limit(Side::Sell, 90, 85, 3, TimeInForce::IOC, TrailSmaAbsChange{1.5, 4});
  ex.submit_limit(Side::Buy, 100, 2, TimeInForce::GTC);
  for (int i = 0; i < 64; ++i) ex.apply(ex.events()[static_cast<size_t>(i % 2)]);
  std::vector<Event> expected;
  for (int i = 0; i < 66; ++i) expected.push_back(ex.events()[static_cast<size_t>(i % 2)]);
  EXPECT_EQ(ex.events(), expected);
  EXPECT_EQ(ex, Exchange::replay(expected));
}

}  // namespace
}  // namespace tessarin
