#include <gtest/gtest.h>

#include <vector>

#include "book.h"
#include "book_fixture.h"

namespace tessarin {
namespace {

using testing_support::rest;
using testing_support::submit;

struct Fill {
  Price price;
  Quantity quantity;
  OrderId passive;
  friend bool operator==(const Fill&, const Fill&) = default;
};

std::vector<Fill> fills(const std::vector<Trade>& trades) {
  std::vector<Fill> out;
  for (const Trade& trade : trades) out.push_back({trade.price, trade.quantity, trade.passive_order_id});
  return out;
}

TEST(MatchingTest, WalksLevelsBestFirstAtTheRestingPrices) {
  OrderBook book;
  const OrderId far = rest(book, Side::Sell, 10050, 100);
  const OrderId near = rest(book, Side::Sell, 10040, 100);
  rest(book, Side::Sell, 10060, 100);
  const Timestamp clock = book.clock();
  Order buy = Order::accepted(book.take_order_id(), Side::Buy, 10050, 150, book.take_timestamp(),
                              TimeInForce::GTC);
  const MatchResult result = book.match_order_with_policy(buy);
  EXPECT_EQ(fills(result.trades), (std::vector<Fill>{{10040, 100, near}, {10050, 50, far}}));
  EXPECT_EQ(result.remaining_quantity, 0u);
  EXPECT_EQ(buy.status, OrderStatus::Filled);
  EXPECT_EQ(buy.filled_quantity, 150u);
  // First trades of the book: ids 1, 2; each trade takes the next clock value.
  ASSERT_EQ(result.trades.size(), 2u);
  EXPECT_EQ(result.trades[0].id, 1u);
  EXPECT_EQ(result.trades[1].id, 2u);
  EXPECT_EQ(result.trades[0].timestamp, clock + 1);
  EXPECT_EQ(result.trades[1].timestamp, clock + 2);
  EXPECT_EQ(result.trades[0].aggressor_order_id, buy.id);
  EXPECT_EQ(result.trades[0].aggressor_side, Side::Buy);
  EXPECT_EQ(book.next_trade_id(), 3u);
  EXPECT_EQ(book.clock(), clock + 3);
  EXPECT_EQ(book.best_ask(), 10050);
  EXPECT_EQ(book.find_order(near)->status, OrderStatus::Filled);
  EXPECT_EQ(book.find_order(far)->status, OrderStatus::PartiallyFilled);
  EXPECT_EQ(book.asks().find_level(10050)->total_quantity(), 50u);
}

TEST(MatchingTest, SamePriceFillsInArrivalOrderAndPartialStaysInFront) {
  OrderBook book;
  const OrderId older = rest(book, Side::Sell, 100, 30);
  const OrderId newer = rest(book, Side::Sell, 100, 30);
  EXPECT_EQ(fills(submit(book, Side::Buy, 100, 20).trades), (std::vector<Fill>{{100, 20, older}}));
  EXPECT_EQ(book.find_order(older)->remaining_quantity, 10u);
  EXPECT_EQ(fills(submit(book, Side::Buy, 100, 25).trades),
            (std::vector<Fill>{{100, 10, older}, {100, 15, newer}}));
  EXPECT_EQ(book.asks().find_level(100)->total_quantity(), 15u);
  EXPECT_EQ(book.asks().find_level(100)->live_count(), 1u);
}

TEST(MatchingTest, SkipsTheTombstoneOfACancelledMiddleOrder) {
  OrderBook book;
  const OrderId first = rest(book, Side::Buy, 100, 10);
  const OrderId middle = rest(book, Side::Buy, 100, 10);
  const OrderId third = rest(book, Side::Buy, 100, 10);
  book.cancel_order(middle);
  EXPECT_EQ(fills(submit(book, Side::Sell, 100, 20).trades),
            (std::vector<Fill>{{100, 10, first}, {100, 10, third}}));
  EXPECT_EQ(book.best_bid(), std::nullopt);
  EXPECT_EQ(book.find_order(middle)->status, OrderStatus::Cancelled);
}

struct CrossCase {
  Side incoming;
  Price limit;
  bool crosses;
};

class CrossingTest : public testing::TestWithParam<CrossCase> {};

// The book rests a bid at 100 and an ask at 102 before each incoming order.
TEST_P(CrossingTest, EqualityCrossesAndOneCentShortDoesNot) {
  const CrossCase& c = GetParam();
  OrderBook book;
  rest(book, Side::Buy, 100, 10);
  rest(book, Side::Sell, 102, 10);
  const auto submitted = submit(book, c.incoming, c.limit, 1, TimeInForce::IOC);
  EXPECT_EQ(submitted.trades.size(), c.crosses ? 1u : 0u);
  if (c.crosses) {
    EXPECT_EQ(submitted.trades[0].price, c.incoming == Side::Buy ? 102 : 100);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Limits, CrossingTest,
    testing::Values(CrossCase{Side::Buy, 102, true}, CrossCase{Side::Buy, 101, false},
                    CrossCase{Side::Buy, 5000, true}, CrossCase{Side::Buy, kMaxPrice, true},
                    CrossCase{Side::Sell, 100, true}, CrossCase{Side::Sell, 101, false},
                    CrossCase{Side::Sell, -5, true}, CrossCase{Side::Sell, kMinPrice, true}));

// Market orders are limits at the extreme prices; resting orders at those very
// extremes still cross them.
TEST(MatchingTest, ExtremeLimitsCrossRestingOrdersAtTheExtremes) {
  OrderBook book;
  const OrderId top_ask = rest(book, Side::Sell, kMaxPrice, 5);
  const OrderId bottom_bid = rest(book, Side::Buy, kMinPrice, 5);
  EXPECT_EQ(fills(submit(book, Side::Buy, kMaxPrice, 5, TimeInForce::IOC).trades),
            (std::vector<Fill>{{kMaxPrice, 5, top_ask}}));
  EXPECT_EQ(fills(submit(book, Side::Sell, kMinPrice, 5, TimeInForce::IOC).trades),
            (std::vector<Fill>{{kMinPrice, 5, bottom_bid}}));
  EXPECT_TRUE(book.bids().empty());
  EXPECT_TRUE(book.asks().empty());
}

TEST(MatchingTest, ZeroQuantityOrEmptySideProducesNoTrades) {
  OrderBook book;
  rest(book, Side::Sell, 100, 10);
  const OrderBook before = book;
  Order zero = Order::accepted(99, Side::Buy, 100, 0, 99, TimeInForce::GTC);
  const MatchResult none = book.match_order_with_policy(zero);
  EXPECT_TRUE(none.trades.empty());
  EXPECT_EQ(none.remaining_quantity, 0u);
  Order sell = Order::accepted(98, Side::Sell, 1, 10, 98, TimeInForce::GTC);
  EXPECT_EQ(book.match_order_with_policy(sell), (MatchResult{{}, 10}));
  EXPECT_EQ(book, before) << "no counter moves without a trade";
}

TEST(MatchingTest, RemainderAfterSweepingTheSideIsReported) {
  OrderBook book;
  for (Price price : {101, 102, 103}) rest(book, Side::Sell, price, 10);
  Order buy = Order::accepted(book.take_order_id(), Side::Buy, kMaxPrice, 45,
                              book.take_timestamp(), TimeInForce::IOC);
  const MatchResult result = book.match_order_with_policy(buy);
  EXPECT_EQ(result.trades.size(), 3u);
  EXPECT_EQ(result.remaining_quantity, 15u);
  EXPECT_EQ(buy.remaining_quantity, 15u);
  EXPECT_EQ(buy.status, OrderStatus::PartiallyFilled);
  EXPECT_EQ(book.best_ask(), std::nullopt);
  EXPECT_EQ(book.find_order(buy.id), nullptr) << "matching does not store the incoming order";
}

struct FokCase {
  Side side;
  Price limit;
  Quantity quantity;
  bool can_fill;
};

class FokPrecheckTest : public testing::TestWithParam<FokCase> {};

// Asks: 101 x 60 (plus a cancelled 1000), 102 x 40. Bids: 99 x 100.
TEST_P(FokPrecheckTest, CountsOnlyLiveQuantityAtOrBetterThanTheLimit) {
  const FokCase& c = GetParam();
  OrderBook book;
  rest(book, Side::Sell, 101, 60);
  book.cancel_order(rest(book, Side::Sell, 101, 1000));
  rest(book, Side::Sell, 102, 40);
  rest(book, Side::Buy, 99, 100);
  EXPECT_EQ(book.fok_can_fill(c.side, c.limit, c.quantity), c.can_fill);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FokPrecheckTest,
    testing::Values(FokCase{Side::Buy, 101, 60, true}, FokCase{Side::Buy, 101, 61, false},
                    FokCase{Side::Buy, 102, 100, true}, FokCase{Side::Buy, 102, 101, false},
                    FokCase{Side::Buy, 100, 1, false}, FokCase{Side::Buy, 100, 0, true},
                    FokCase{Side::Sell, 99, 100, true}, FokCase{Side::Sell, 99, 150, false},
                    FokCase{Side::Sell, 100, 1, false}));

TEST(MatchingTest, FokRefusalLeavesTheBookUntouched) {
  OrderBook book;
  rest(book, Side::Sell, 101, 100);
  const OrderBook before = book;
  const auto refused = submit(book, Side::Buy, 101, 150, TimeInForce::FOK);
  EXPECT_TRUE(refused.trades.empty());
  EXPECT_EQ(book.find_order(refused.id), nullptr);
  EXPECT_EQ(book.asks().find_level(101)->total_quantity(), 100u);
  const auto filled = submit(book, Side::Buy, 101, 100, TimeInForce::FOK);
  EXPECT_EQ(filled.id, refused.id + 1) << "the refused order still drew an id";
  EXPECT_EQ(book.find_order(filled.id)->status, OrderStatus::Filled);
  EXPECT_NE(book, before);
}

}  // namespace
}  // namespace tessarin
