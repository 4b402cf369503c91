// Drives the book with a long random order flow and checks it after every step
// against a deliberately simple reference: per side a std::map from price to a
// std::vector of queue entries, orders in a std::map, everything found by scans.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "book.h"
#include "splitmix64.h"

namespace tessarin {
namespace {

class Rng : public ::tessarin::testing_support::SplitMix64 {
 public:
  using ::tessarin::testing_support::SplitMix64::SplitMix64;
  bool chance(unsigned percent) { return below(100) < percent; }
};

class ReferenceBook {
 public:
  using Queue = std::vector<OrderId>;  // kTombstoneId marks a cancelled entry
  using Levels = std::map<Price, Queue>;

  Levels bids;
  Levels asks;
  std::map<OrderId, Order> orders;
  OrderId next_id = 1;
  TradeId next_trade = 1;
  Timestamp clock = 1;

  std::vector<Trade> submit(Side side, Price price, Quantity quantity, TimeInForce tif) {
    const OrderId id = next_id++;
    const Timestamp timestamp = clock++;
    if (tif == TimeInForce::FOK && available(side, price) < quantity) return {};
    Order order = Order::accepted(id, side, price, quantity, timestamp, tif);
    std::vector<Trade> trades = match(order);
    if (order.remaining_quantity > 0 && tif == TimeInForce::GTC) {
      Queue& queue = own(side)[price];
      order.queue_position = queue.size();
      queue.push_back(id);
    } else if (order.remaining_quantity > 0 && order.filled_quantity == 0) {
      order.status = OrderStatus::Cancelled;
    }
    orders[id] = order;
    return trades;
  }

  std::optional<Quantity> cancel(OrderId id) {
    auto it = orders.find(id);
    if (it == orders.end() || !is_active(it->second.status)) return std::nullopt;
    Order& order = it->second;
    Levels& side = own(order.side);
    auto level = side.find(order.price);
    if (level != side.end()) {
      auto entry = std::find(level->second.begin(), level->second.end(), id);
      if (entry != level->second.end()) *entry = kTombstoneId;
      if (live(level->second) == 0) side.erase(level);
    }
    return order.cancel();
  }

  void compact() {
    for (Levels* side : {&bids, &asks}) {
      for (auto& [price, queue] : *side) std::erase(queue, kTombstoneId);
    }
  }

  size_t purge() {
    return std::erase_if(orders, [](const auto& entry) { return !is_active(entry.second.status); });
  }

  Levels& own(Side side) { return side == Side::Buy ? bids : asks; }

  static size_t live(const Queue& queue) {
    return queue.size() - static_cast<size_t>(std::count(queue.begin(), queue.end(), kTombstoneId));
  }

  Quantity total(const Queue& queue) const {
    Quantity sum = 0;
    for (OrderId id : queue) {
      if (id != kTombstoneId) sum += orders.at(id).remaining_quantity;
    }
    return sum;
  }

  // Live levels best first, as (price, queue) pairs.
  std::vector<std::pair<Price, const Queue*>> best_first(Side side) const {
    std::vector<std::pair<Price, const Queue*>> out;
    const Levels& levels = side == Side::Buy ? bids : asks;
    for (const auto& [price, queue] : levels) out.emplace_back(price, &queue);
    if (side == Side::Buy) std::reverse(out.begin(), out.end());
    return out;
  }

 private:
  static bool crosses(Side side, Price limit, Price resting) {
    return side == Side::Buy ? limit >= resting : limit <= resting;
  }

  Quantity available(Side side, Price limit) const {
    Quantity sum = 0;
    for (const auto& [price, queue] : best_first(opposite(side))) {
      if (crosses(side, limit, price)) sum += total(*queue);
    }
    return sum;
  }

  std::vector<Trade> match(Order& incoming) {
    std::vector<Trade> trades;
    Levels& resting_side = own(opposite(incoming.side));
    while (incoming.remaining_quantity > 0 && !resting_side.empty()) {
      auto level = incoming.side == Side::Buy ? resting_side.begin()
                                              : std::prev(resting_side.end());
      if (!crosses(incoming.side, incoming.price, level->first)) break;
      Queue& queue = level->second;
      while (queue.front() == kTombstoneId) queue.erase(queue.begin());
      Order& passive = orders.at(queue.front());
      const Quantity quantity = std::min(incoming.remaining_quantity, passive.remaining_quantity);
      trades.push_back(Trade{next_trade++, level->first, quantity, incoming.id, passive.id,
                             clock++, incoming.side});
      incoming.fill(quantity);
      passive.fill(quantity);
      if (passive.remaining_quantity == 0) queue.erase(queue.begin());
      if (live(queue) == 0) resting_side.erase(level);
    }
    return trades;
  }
};

// Same flow as ReferenceBook::submit, on the real book.
std::vector<Trade> submit(OrderBook& book, Side side, Price price, Quantity quantity,
                          TimeInForce tif) {
  const OrderId id = book.take_order_id();
  const Timestamp timestamp = book.take_timestamp();
  if (tif == TimeInForce::FOK && !book.fok_can_fill(side, price, quantity)) return {};
  Order order = Order::accepted(id, side, price, quantity, timestamp, tif);
  std::vector<Trade> trades = book.match_order_with_policy(order).trades;
  if (order.remaining_quantity > 0 && tif == TimeInForce::GTC) {
    book.add_order(order);
    return trades;
  }
  if (order.remaining_quantity > 0 && order.filled_quantity == 0) {
    order.status = OrderStatus::Cancelled;
  }
  book.store_order(order);
  return trades;
}

testing::AssertionResult same_side(const OrderBook& book, const ReferenceBook& model, Side side) {
  const PriceLevels& levels = book.levels(side);
  const auto expected = model.best_first(side);
  if (levels.level_count() != expected.size()) {
    return testing::AssertionFailure() << side_name(side) << " has " << levels.level_count()
                                       << " levels, reference " << expected.size();
  }
  const bool best_matches = expected.empty()
                                ? !levels.best().has_value()
                                : levels.best().value_or(0) == expected.front().first &&
                                      levels.best().has_value();
  if (!best_matches) return testing::AssertionFailure() << side_name(side) << " best differs";
  for (size_t rank = 0; rank < expected.size(); ++rank) {
    const Level& level = levels.level_by_rank(rank);
    const auto& [price, queue] = expected[rank];
    std::vector<OrderId> entries;
    for (size_t i = 0; i < level.queue_length(); ++i) entries.push_back(level.entry(i));
    if (level.price() != price || entries != *queue) {
      return testing::AssertionFailure() << side_name(side) << " level " << price << " queue differs";
    }
    if (level.live_count() == 0 || level.live_count() != ReferenceBook::live(*queue) ||
        level.total_quantity() != model.total(*queue)) {
      return testing::AssertionFailure() << side_name(side) << " level " << price
                                         << " counts or total differ";
    }
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult same_book(const OrderBook& book, const ReferenceBook& model) {
  if (book.next_order_id() != model.next_id || book.next_trade_id() != model.next_trade ||
      book.clock() != model.clock) {
    return testing::AssertionFailure() << "counters differ";
  }
  for (Side side : {Side::Buy, Side::Sell}) {
    if (auto same = same_side(book, model, side); !same) return same;
  }
  std::vector<Order> stored;
  book.for_each_order([&](const Order& order) { stored.push_back(order); });
  std::vector<Order> expected;
  for (const auto& [id, order] : model.orders) expected.push_back(order);
  if (stored != expected) return testing::AssertionFailure() << "order tables differ";
  return testing::AssertionSuccess();
}

// Independent of the reference: each fill is at the resting order's own price,
// prices never get worse for the aggressor before they get better, and within a
// price older resting orders fill first.
testing::AssertionResult respects_priority(const std::vector<Trade>& trades,
                                           const ReferenceBook& model) {
  for (size_t i = 0; i < trades.size(); ++i) {
    const Order& passive = model.orders.at(trades[i].passive_order_id);
    if (trades[i].price != passive.price || trades[i].quantity == 0) {
      return testing::AssertionFailure() << "trade " << trades[i].id << " off the resting price";
    }
    if (i == 0) continue;
    const Trade& prev = trades[i - 1];
    const bool worse = trades[i].aggressor_side == Side::Buy ? trades[i].price < prev.price
                                                             : trades[i].price > prev.price;
    const bool older_later =
        trades[i].price == prev.price &&
        passive.timestamp < model.orders.at(prev.passive_order_id).timestamp;
    if (worse || older_later) {
      return testing::AssertionFailure() << "trade " << trades[i].id << " breaks priority";
    }
  }
  return testing::AssertionSuccess();
}

struct FlowCase {
  uint64_t seed;
  // Orders land within kBand cents of the mid: a narrow band gives deep, busy
  // queues; a wide one gives hundreds of thin levels per side.
  Price band;
  // Every step checks the whole book, so the wide (slower to check) flows are
  // shorter.
  int steps;
};

class BookModelTest : public testing::TestWithParam<FlowCase> {};

TEST_P(BookModelTest, RandomFlowMatchesTheReference) {
  const uint64_t seed = GetParam().seed;
  const Price kBand = GetParam().band;
  SCOPED_TRACE("seed " + std::to_string(seed) + " band " + std::to_string(kBand));
  const int kSteps = GetParam().steps;
  Rng rng(seed);
  OrderBook book;
  ReferenceBook model;
  Price mid = 10000;
  size_t widest = 0;
  for (int step = 0; step < kSteps; ++step) {
    if (rng.chance(10)) mid += rng.chance(50) ? 1 : -1;
    const uint64_t roll = rng.below(100);
    const Side side = rng.chance(50) ? Side::Buy : Side::Sell;
    std::vector<Trade> trades;
    std::vector<Trade> expected;
    if (roll < 60) {
      const TimeInForce tif = roll < 48 ? TimeInForce::GTC
                              : roll < 55 ? TimeInForce::IOC
                                          : TimeInForce::FOK;
      // A quarter cross the mid by up to 10 cents; the rest join their own side.
      const Price distance =
          rng.chance(25) ? -static_cast<Price>(rng.below(std::min<Price>(kBand, 10) + 1))
                         : static_cast<Price>(rng.below(static_cast<uint64_t>(kBand) + 1));
      const Price price = side == Side::Buy ? mid - distance : mid + distance;
      const Quantity quantity = 1 + rng.below(roll < 55 ? 100 : 300);
      expected = model.submit(side, price, quantity, tif);
      trades = submit(book, side, price, quantity, tif);
    } else if (roll < 65) {  // market order: a limit at the extreme price, IOC
      const Price price = side == Side::Buy ? kMaxPrice : kMinPrice;
      const Quantity quantity = 1 + rng.below(400);
      expected = model.submit(side, price, quantity, TimeInForce::IOC);
      trades = submit(book, side, price, quantity, TimeInForce::IOC);
    } else if (roll < 95) {
      // Mostly ids already issued (live or dead), sometimes unknown or reserved.
      OrderId id = 0;
      if (rng.chance(85) && model.next_id > 1) {
        id = 1 + rng.below(model.next_id - 1);
      } else {
        id = rng.chance(50) ? model.next_id + rng.below(10) : rng.next();
      }
      ASSERT_EQ(book.cancel_order(id), model.cancel(id)) << "step " << step << " cancel " << id;
    } else if (roll < 98) {
      book.compact();
      model.compact();
    } else if (roll < 99) {
      ASSERT_EQ(book.purge_terminal_orders(), model.purge()) << "step " << step;
    }
    ASSERT_EQ(trades, expected) << "step " << step;
    ASSERT_TRUE(respects_priority(trades, model)) << "step " << step;
    ASSERT_TRUE(same_book(book, model)) << "step " << step;
    widest = std::max({widest, book.bids().level_count(), book.asks().level_count()});
  }
  // A wide band must take a side through several storage blocks of levels.
  if (kBand > 100) {
    EXPECT_GT(widest, 200u);
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, BookModelTest,
                         testing::Values(FlowCase{1, 8, 20000}, FlowCase{20240611, 8, 20000},
                                         FlowCase{0xC0FFEE, 8, 20000}, FlowCase{7, 400, 5000},
                                         FlowCase{0xBADC0DE, 400, 5000}));

}  // namespace
}  // namespace tessarin
