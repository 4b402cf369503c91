// Exchange: the deterministic single-instrument matching engine. It owns one
// OrderBook, one StopBook, the last trade price, the trade history and the event
// log; every request is recorded as an Event before it runs, so replaying the log
// into a fresh Exchange rebuilds the same state.
//
// Invariants:
//   1. Ids and timestamps come only from the book's counters: every accepted
//      order, rejected fill-or-kill order and stop order draws one of each.
//   2. After a request that traded, the last trade price is the price of the
//      latest trade and the stop book has been given the chance to trigger.
//   3. The event log holds exactly the requests made, in order; maintenance
//      (clear_trades, clear_order_history, compact) and orders created by
//      triggered stops record nothing.
// Single-threaded: callers serialise access.
#ifndef TESSARIN_EXCHANGE_H_
#define TESSARIN_EXCHANGE_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "book.h"
#include "event.h"
#include "order.h"
#include "result.h"
#include "side.h"
#include "snapshot.h"
#include "stop.h"
#include "tif.h"
#include "trade.h"
#include "types.h"

namespace tessarin {

class Exchange {
 public:
  // A cascade of stops triggering stops ends after this many passes in one
  // processing, so a self-feeding chain cannot run forever; crossed stops left
  // over wait for the next trade.
  static constexpr int kMaxTriggerPasses = 100;

  // Empty books, no last trade price, empty histories, all counters at 1.
  Exchange() = default;

  // ---- requests: each records its event first, whatever the outcome ----------

  // A limit order; the unmatched rest rests (GTC) or is cancelled (IOC, FOK).
  // A FOK order that cannot fill in full is rejected before matching, though it
  // still draws an id and a clock tick. Zero quantities and any price are accepted.
  SubmitResult submit_limit(Side side, Price price, uint64_t quantity, TimeInForce time_in_force);
  // An IOC limit order at the extreme price of its side.
  SubmitResult submit_market(Side side, uint64_t quantity);
  // Cancels a pending stop order or an active order.
  CancelResult cancel(OrderId order_id);
  // Cancels an active order and submits a replacement (new id, back of the queue)
  // with its side and time in force; new_quantity 0 is refused (InvalidQuantity).
  // Stop orders cannot be modified.
  ModifyResult modify(OrderId order_id, Price new_price, uint64_t new_quantity);

  // Stop orders draw an id and a timestamp. A non-trailing stop already crossed
  // by the last trade price triggers at once (status Triggered); a trailing stop
  // waits for the next trade.
  StopSubmitResult submit_stop_market(Side side, Price stop_price, uint64_t quantity);
  StopSubmitResult submit_stop_limit(Side side, Price stop_price, Price limit_price, uint64_t quantity,
                                     TimeInForce time_in_force);
  StopSubmitResult submit_trailing_stop_market(Side side, Price initial_stop_price, uint64_t quantity,
                                               TrailMethod trail_method);
  StopSubmitResult submit_trailing_stop_limit(Side side, Price initial_stop_price, Price limit_price,
                                              uint64_t quantity, TimeInForce time_in_force,
                                              TrailMethod trail_method);

  // Records `event` and performs its request; returns the trades the request
  // itself produced (a submission's or replacement's own fills; none for cancels
  // and stop submissions, whose triggered fills go only to trades()).
  std::vector<Trade> apply(const Event& event);

  // A new exchange with `events` applied in order; its event log equals `events`.
  static Exchange replay(std::span<const Event> events);

  // ---- queries --------------------------------------------------------------

  std::optional<Price> best_bid() const { return book_.best_bid(); }
  std::optional<Price> best_ask() const { return book_.best_ask(); }
  // Best ask - best bid in cents (saturating) when both sides have orders.
  std::optional<int64_t> spread() const;
  std::optional<Price> last_trade_price() const { return last_trade_price_; }
  // A copy of the stored order (stop orders are not stored there).
  std::optional<Order> get_order(OrderId order_id) const;
  std::optional<StopOrder> get_stop_order(OrderId order_id) const;
  size_t pending_stop_count() const { return stops_.pending_count(); }
  const std::vector<Trade>& trades() const { return trades_; }
  const std::vector<Event>& events() const { return events_; }
  BookSnapshot depth(size_t levels) const { return book_.snapshot(levels); }
  BookSnapshot full_book() const { return book_.full_snapshot(); }
  const OrderBook& book() const { return book_; }
  const StopBook& stop_book() const { return stops_; }

  // ---- maintenance (records nothing) ----------------------------------------

  // Empties the trade history; the last trade price and the event log stay.
  void clear_trades() { trades_.clear(); }
  // Drops Filled and Cancelled orders and every non-pending stop; returns the
  // number of orders removed from the order table (stops not counted).
  size_t clear_order_history();
  // Drops the book's tombstones.
  void compact() { book_.compact(); }

  // Every observable state: book (levels, orders, counters), stop book
  // (including trailing state and change history), last trade price, trade
  // history and event log.
  friend bool operator==(const Exchange&, const Exchange&) = default;

 private:
  // Histories grow by a factor of four rather than two when full: each record
  // is then copied a third of a time on average instead of once, and the spare
  // capacity of a large buffer is address space the process never touches.
  template <class T>
  static void grow_for(std::vector<T>& log, size_t more) {
    if (log.capacity() - log.size() >= more) return;
    log.reserve(std::max(log.size() + more, std::max<size_t>(kMinHistoryCapacity, log.capacity() * 4)));
  }
  // A fresh exchange's first records need no string of tiny reallocations.
  static constexpr size_t kMinHistoryCapacity = 64;

  template <class E>
  auto request(const E& event) {
    grow_for(events_, 1);
    events_.emplace_back(event);
    return run(event);
  }

  SubmitResult run(SubmitLimitEvent e);
  SubmitResult run(SubmitMarketEvent e);
  CancelResult run(CancelEvent e);
  ModifyResult run(ModifyEvent e);
  StopSubmitResult run(SubmitStopMarketEvent e);
  StopSubmitResult run(SubmitStopLimitEvent e);
  StopSubmitResult run(SubmitTrailingStopMarketEvent e);
  StopSubmitResult run(SubmitTrailingStopLimitEvent e);

  // Accepts (or rejects, for FOK), matches and settles one limit order, adding
  // its trades to the history. Does not touch the last trade price or stops.
  SubmitResult execute_limit(Side side, Price price, uint64_t quantity, TimeInForce time_in_force);
  SubmitResult execute_stop(const StopOrder& stop);
  // After a request that traded: the last trade price moves and stops trigger.
  void settle_trades(const std::vector<Trade>& trades);
  void process_triggers();
  StopSubmitResult place_stop(StopOrder stop);

  OrderBook book_;
  StopBook stops_;
  std::optional<Price> last_trade_price_;
  std::vector<Trade> trades_;
  std::vector<Event> events_;
};

}  // namespace tessarin

#endif  // TESSARIN_EXCHANGE_H_
