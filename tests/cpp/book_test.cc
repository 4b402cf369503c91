#include "book.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "book_fixture.h"
#include "invariant.h"
#include "saturating.h"

namespace tessarin {
namespace {

using testing_support::rest;
using testing_support::submit;

std::string invariant_message(const std::function<void()>& action) {
  try {
    action();
  } catch (const InvariantFailure& failure) {
    return failure.what();
  }
  return "<no invariant failure>";
}

TEST(OrderBookTest, CountersStartAtOneAndAdvanceByOne) {
  OrderBook book;
  EXPECT_EQ(book.next_order_id(), 1u);
  EXPECT_EQ(book.next_trade_id(), 1u);
  EXPECT_EQ(book.clock(), 1u);
  EXPECT_EQ(book.take_order_id(), 1u);
  EXPECT_EQ(book.take_order_id(), 2u);
  EXPECT_EQ(book.take_timestamp(), 1u);
  EXPECT_EQ(book.next_order_id(), 3u);
  EXPECT_EQ(book.clock(), 2u);
  EXPECT_EQ(book.next_trade_id(), 1u);
}

TEST(OrderBookTest, AddRecordsQueueLengthIncludingTombstones) {
  OrderBook book;
  const OrderId a = rest(book, Side::Buy, 100, 10);
  const OrderId b = rest(book, Side::Buy, 100, 20);
  book.cancel_order(a);
  const OrderId c = rest(book, Side::Buy, 100, 30);
  EXPECT_EQ(book.find_order(a)->queue_position, 0u);
  EXPECT_EQ(book.find_order(b)->queue_position, 1u);
  EXPECT_EQ(book.find_order(c)->queue_position, 2u) << "the tombstone of a still counts";
  EXPECT_EQ(book.best_bid(), 100);
  EXPECT_EQ(book.best_ask(), std::nullopt);
}

struct RefusedStoreCase {
  const char* name;
  std::function<void(OrderBook&)> action;
  const char* message;
};

class RefusedStoreTest : public testing::TestWithParam<RefusedStoreCase> {};

// The book holds order 1 resting at 100 before each action.
TEST_P(RefusedStoreTest, IsAnInvariantFailureAndLeavesTheBookUnchanged) {
  OrderBook book;
  rest(book, Side::Buy, 100, 10);
  const OrderBook before = book;
  EXPECT_EQ(invariant_message([&] { GetParam().action(book); }), GetParam().message);
  EXPECT_EQ(book, before);
}

Order sample(OrderId id, Quantity quantity = 5) {
  return Order::accepted(id, Side::Sell, 105, quantity, 9, TimeInForce::GTC);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedStoreTest,
    testing::Values(
        RefusedStoreCase{"add_duplicate", [](OrderBook& b) { b.add_order(sample(1)); },
                         "order O1 already exists"},
        RefusedStoreCase{"store_duplicate", [](OrderBook& b) { b.store_order(sample(1)); },
                         "order O1 already exists"},
        RefusedStoreCase{"add_reserved", [](OrderBook& b) { b.add_order(sample(0)); },
                         "OrderId(0) reserved for tombstones"},
        RefusedStoreCase{"store_reserved", [](OrderBook& b) { b.store_order(sample(0)); },
                         "OrderId(0) reserved for tombstones"},
        RefusedStoreCase{"add_without_open_quantity",
                         [](OrderBook& b) { b.add_order(sample(7, 0)); },
                         "cannot rest order O7 without open quantity"},
        RefusedStoreCase{"add_terminal",
                         [](OrderBook& b) {
                           Order order = sample(7);
                           order.status = OrderStatus::Cancelled;
                           b.add_order(order);
                         },
                         "cannot rest order O7 without open quantity"}),
    [](const testing::TestParamInfo<RefusedStoreCase>& info) { return info.param.name; });

TEST(OrderBookTest, CancelOfTheMiddleOrderLeavesATombstone) {
  OrderBook book;
  rest(book, Side::Sell, 100, 10);
  const OrderId middle = rest(book, Side::Sell, 100, 20);
  rest(book, Side::Sell, 100, 30);
  EXPECT_EQ(book.cancel_order(middle), 20u);
  const Level& level = *book.asks().find_level(100);
  EXPECT_EQ(level.live_count(), 2u);
  EXPECT_EQ(level.tombstone_count(), 1u);
  EXPECT_EQ(level.total_quantity(), 40u);
  const Order& cancelled = *book.find_order(middle);
  EXPECT_EQ(cancelled.status, OrderStatus::Cancelled);
  EXPECT_EQ(cancelled.remaining_quantity, 0u);
}

TEST(OrderBookTest, CancellingTheLastOrdersOfLevelsMovesTheBestAndEmptiesTheSide) {
  OrderBook book;
  const OrderId best = rest(book, Side::Buy, 101, 10);
  const OrderId next = rest(book, Side::Buy, 99, 10);
  EXPECT_EQ(book.cancel_order(best), 10u);
  EXPECT_EQ(book.best_bid(), 99);
  EXPECT_EQ(book.bids().find_level(101), nullptr);
  EXPECT_EQ(book.cancel_order(next), 10u);
  EXPECT_EQ(book.best_bid(), std::nullopt);
  EXPECT_TRUE(book.bids().empty());
}

TEST(OrderBookTest, CancelOfUnknownOrTerminalOrdersGivesNothing) {
  OrderBook book;
  const OrderId filled = rest(book, Side::Sell, 100, 10);
  submit(book, Side::Buy, 100, 10);
  const OrderId cancelled = rest(book, Side::Sell, 100, 10);
  book.cancel_order(cancelled);
  const OrderBook before = book;
  for (OrderId id : {filled, cancelled, OrderId{0}, OrderId{999}, UINT64_MAX}) {
    EXPECT_EQ(book.cancel_order(id), std::nullopt) << id;
  }
  EXPECT_EQ(book, before);
}

// An immediate-or-cancel rest is stored active but never queued; cancelling it
// must not touch the level that happens to exist at its price.
TEST(OrderBookTest, CancelOfAStoredActiveOrderLeavesTheLevelsAlone) {
  OrderBook book;
  rest(book, Side::Sell, 100, 6);
  const OrderId ioc = submit(book, Side::Buy, 100, 10, TimeInForce::IOC).id;
  const OrderId resting_bid = rest(book, Side::Buy, 100, 3);
  ASSERT_EQ(book.find_order(ioc)->status, OrderStatus::PartiallyFilled);
  EXPECT_EQ(book.cancel_order(ioc), 4u);
  const Level& level = *book.bids().find_level(100);
  EXPECT_EQ(level.live_count(), 1u);
  EXPECT_EQ(level.tombstone_count(), 0u);
  EXPECT_EQ(level.total_quantity(), 3u);
  EXPECT_EQ(book.cancel_order(resting_bid), 3u);
}

// Level totals saturate, so a total can reach 0 while a live order remains; the
// level must stay as long as its live count is positive, whether the total fell
// through a cancel or through a fill.
class SaturatedLevelTest : public testing::TestWithParam<bool> {};

TEST_P(SaturatedLevelTest, LevelSurvivesItsTotalReachingZero) {
  const bool by_cancel = GetParam();
  OrderBook book;
  const OrderId first = rest(book, Side::Sell, 100, kU64Max);
  const OrderId second = rest(book, Side::Sell, 100, kU64Max - 1);
  ASSERT_EQ(book.asks().find_level(100)->total_quantity(), kU64Max);
  if (by_cancel) {
    EXPECT_EQ(book.cancel_order(first), kU64Max);
  } else {
    const auto taken = submit(book, Side::Buy, 100, kU64Max, TimeInForce::IOC);
    ASSERT_EQ(taken.trades.size(), 1u);
    EXPECT_EQ(taken.trades[0].passive_order_id, first);
  }
  const Level* level = book.asks().find_level(100);
  ASSERT_NE(level, nullptr) << "live order " << second << " was lost with its level";
  EXPECT_EQ(level->total_quantity(), 0u);
  EXPECT_EQ(level->live_count(), 1u);
  EXPECT_EQ(book.best_ask(), 100);

  const auto sweep = submit(book, Side::Buy, kMaxPrice, kU64Max, TimeInForce::IOC);
  ASSERT_EQ(sweep.trades.size(), 1u);
  EXPECT_EQ(sweep.trades[0].passive_order_id, second);
  EXPECT_EQ(sweep.trades[0].quantity, kU64Max - 1);
  EXPECT_EQ(book.find_order(second)->status, OrderStatus::Filled);
  EXPECT_EQ(book.best_ask(), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Paths, SaturatedLevelTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Cancel" : "Fill";
                         });

TEST(OrderBookTest, CompactionKeepsEveryLiveOrderCancellable) {
  OrderBook book;
  std::vector<OrderId> ids;
  for (int i = 0; i < 12; ++i) ids.push_back(rest(book, Side::Buy, 100 - i % 3, 10 + i));
  for (size_t i = 0; i < ids.size(); i += 2) book.cancel_order(ids[i]);
  const OrderBook uncompacted = book;
  book.compact();
  EXPECT_EQ(book, uncompacted) << "tombstones are not observable";
  for (size_t rank = 0; rank < book.bids().level_count(); ++rank) {
    const Level& level = book.bids().level_by_rank(rank);
    EXPECT_EQ(level.tombstone_count(), 0u);
    EXPECT_EQ(level.queue_length(), level.live_count());
  }
  // Cancel the survivors back to front so each one sits behind moved entries.
  for (size_t k = 0; k < ids.size() / 2; ++k) {
    const size_t i = ids.size() - 1 - 2 * k;
    const Quantity open = book.find_order(ids[i])->remaining_quantity;
    EXPECT_EQ(book.cancel_order(ids[i]), open) << ids[i];
  }
  EXPECT_TRUE(book.bids().empty());
  EXPECT_EQ(book.find_order(ids[1])->queue_position, 0u) << "recorded at append, kept";
  EXPECT_EQ(book.find_order(ids[7])->queue_position, 2u);
}

TEST(OrderBookTest, PurgeRemovesTerminalOrdersOnly) {
  OrderBook book;
  const OrderId filled = rest(book, Side::Sell, 100, 5);
  const OrderId taker = submit(book, Side::Buy, 100, 5).id;
  const OrderId cancelled = rest(book, Side::Sell, 101, 5);
  book.cancel_order(cancelled);
  const OrderId resting = rest(book, Side::Sell, 102, 5);
  const OrderId ioc = submit(book, Side::Buy, 102, 7, TimeInForce::IOC).id;  // 5 of 7
  const OrderId killed = submit(book, Side::Buy, 90, 7, TimeInForce::IOC).id;  // no fill
  const OrderId bid = rest(book, Side::Buy, 95, 5);

  EXPECT_EQ(book.purge_terminal_orders(), 5u);  // filled, taker, cancelled, resting, killed
  for (OrderId id : {filled, taker, cancelled, resting, killed}) {
    EXPECT_EQ(book.find_order(id), nullptr) << id;
    EXPECT_EQ(book.cancel_order(id), std::nullopt) << id;
  }
  EXPECT_EQ(book.order_count(), 2u);
  EXPECT_EQ(book.find_order(ioc)->status, OrderStatus::PartiallyFilled);
  EXPECT_EQ(book.next_order_id(), bid + 1) << "purging does not free ids";
  EXPECT_EQ(book.cancel_order(bid), 5u);
  EXPECT_EQ(book.purge_terminal_orders(), 1u);
}

TEST(OrderBookTest, IteratesOrdersInIdOrder) {
  OrderBook book;
  rest(book, Side::Sell, 100, 5);
  rest(book, Side::Buy, 90, 5);
  book.store_order(Order::accepted(50000, Side::Buy, 1, 1, 3, TimeInForce::IOC));
  submit(book, Side::Buy, 100, 5);
  std::vector<OrderId> ids;
  book.for_each_order([&](const Order& order) { ids.push_back(order.id); });
  EXPECT_EQ(ids, (std::vector<OrderId>{1, 2, 3, 50000}));
}

TEST(OrderBookTest, EqualityCoversLevelsOrdersAndCounters) {
  OrderBook book;
  rest(book, Side::Sell, 100, 5);
  rest(book, Side::Sell, 100, 6);
  rest(book, Side::Buy, 95, 7);
  const OrderBook copy = book;
  EXPECT_EQ(copy, book);

  OrderBook counter = book;
  counter.take_timestamp();
  EXPECT_NE(counter, book);

  OrderBook traded = book;
  submit(traded, Side::Buy, 100, 1);
  EXPECT_NE(traded, book);
  EXPECT_EQ(book, copy) << "copies do not share state";
}

}  // namespace
}  // namespace tessarin
