// OrderBook: the two-sided limit order book of one instrument. It owns both sides'
// levels, the table of every accepted order (resting or not) and the three
// counters (order id, trade id, logical clock) that the exchange draws from.
// Single-threaded; the owning exchange serialises all calls.
//
// Invariants:
//   1. Every live queue entry names an active order of the table whose side and
//      price are the level's and whose recorded sequence number is the entry's.
//   2. Every level holds at least one live order (a level goes when its live
//      count reaches 0, whatever its saturated total says).
//   3. Matching is strict price-time priority: better prices first, then queue
//      order; every fill is at the resting level's price.
//   4. The counters start at 1 and only grow.
#ifndef TESSARIN_BOOK_H_
#define TESSARIN_BOOK_H_

#include <cstddef>
#include <optional>
#include <vector>

#include "order.h"
#include "order_table.h"
#include "price_levels.h"
#include "side.h"
#include "snapshot.h"
#include "trade.h"
#include "types.h"

namespace tessarin {

struct MatchResult {
  std::vector<Trade> trades;  // in execution order
  Quantity remaining_quantity = 0;  // the incoming order's, after matching

  friend bool operator==(const MatchResult&, const MatchResult&) = default;
};

class OrderBook {
 public:
  OrderBook() = default;

  // Counters: each take_ returns the current value and advances it by one.
  OrderId take_order_id() { return next_order_id_++; }
  Timestamp take_timestamp() { return clock_++; }
  OrderId next_order_id() const { return next_order_id_; }
  TradeId next_trade_id() const { return next_trade_id_; }
  Timestamp clock() const { return clock_; }

  std::optional<Price> best_bid() const { return bids_.best(); }
  std::optional<Price> best_ask() const { return asks_.best(); }
  const PriceLevels& bids() const { return bids_; }
  const PriceLevels& asks() const { return asks_; }
  const PriceLevels& levels(Side side) const { return side == Side::Buy ? bids_ : asks_; }

  // The stored order, or nullptr. Valid until the next call that changes the book.
  const Order* find_order(OrderId id) const;
  size_t order_count() const { return orders_.size(); }

  // Rests `order` at the back of its price level and stores it, recording the
  // queue length as its queue_position.
  // REQUIRES: order.id != 0 and not yet stored ("order {} already exists"), the
  // order is active with open quantity (all invariant failures otherwise).
  void add_order(Order order);

  // Stores an order that does not rest (filled, cancelled, killed or an
  // immediate-or-cancel rest). REQUIRES: as add_order for the id.
  void store_order(const Order& order);

  // Cancels an active order: nothing when `id` is unknown or terminal, else the
  // quantity that was open. A resting order's entry becomes a tombstone and its
  // level goes when no live order is left there.
  std::optional<Quantity> cancel_order(OrderId id);

  // Matches `incoming` (not stored) against the opposite side at price-time
  // priority, filling it and the resting orders it meets. The rest of `incoming`
  // is left to the caller (rest it, store it, or kill it).
  MatchResult match_order_with_policy(Order& incoming);

  // Whether an order of `side` limited at `limit` could fill `quantity` in full
  // now: the opposite side's live quantity at or better than `limit` suffices.
  bool fok_can_fill(Side side, Price limit, Quantity quantity) const;

  // Live quantity resting on `resting_side` at `limit` or better (asks at or
  // below, bids at or above), saturating.
  Quantity quantity_at_or_better(Side resting_side, Price limit) const;

  // At most `levels` levels per side, best first.
  BookSnapshot snapshot(size_t levels) const;
  BookSnapshot full_snapshot() const;

  // Drops every tombstone from both sides.
  void compact();

  // Removes every Filled or Cancelled order from the table; returns how many.
  size_t purge_terminal_orders();

  // Calls visit(const Order&) for every stored order in increasing id order.
  template <typename Visitor>
  void for_each_order(Visitor&& visit) const {
    orders_.for_each(visit);
  }

  // Everything observable: both sides (levels with their live queues and
  // totals), every stored order and the three counters. Tombstones are not
  // observable, so a compacted book equals its uncompacted twin.
  friend bool operator==(const OrderBook&, const OrderBook&) = default;

 private:
  PriceLevels& side_levels(Side side) { return side == Side::Buy ? bids_ : asks_; }
  void check_storable(OrderId id) const;
  // Fills `incoming` against `level` (on the opposite side) until one of them is
  // exhausted; fills the resting orders and records the trades.
  void match_at_level(Order& incoming, Level& level, MatchResult& result);
  Trade make_trade(const Order& incoming, OrderId passive_id, Price price, Quantity quantity);

  PriceLevels bids_{Side::Buy};
  PriceLevels asks_{Side::Sell};
  OrderTable orders_;
  OrderId next_order_id_ = 1;
  TradeId next_trade_id_ = 1;
  Timestamp clock_ = 1;
};

}  // namespace tessarin

#endif  // TESSARIN_BOOK_H_
