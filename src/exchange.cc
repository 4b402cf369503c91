#include "exchange.h"

#include <utility>

#include "invariant.h"
#include "saturating.h"

namespace tessarin {
namespace {

// Market orders are limit orders at the price every resting order crosses.
constexpr Price market_price(Side side) { return side == Side::Buy ? kMaxPrice : kMinPrice; }

// A pending stop without id and timestamp yet (place_stop draws them).
StopOrder new_stop(Side side, Price stop_price, std::optional<Price> limit_price, uint64_t quantity,
                   TimeInForce time_in_force, std::optional<TrailMethod> trail_method) {
  StopOrder stop;
  stop.side = side;
  stop.stop_price = stop_price;
  stop.limit_price = limit_price;
  stop.quantity = quantity;
  stop.time_in_force = time_in_force;
  stop.trail_method = std::move(trail_method);
  return stop;
}

std::vector<Trade> own_trades(SubmitResult&& r) { return std::move(r.trades); }
std::vector<Trade> own_trades(ModifyResult&& r) { return std::move(r.trades); }
std::vector<Trade> own_trades(CancelResult&&) { return {}; }
std::vector<Trade> own_trades(StopSubmitResult&&) { return {}; }

}  // namespace

// ---- requests ---------------------------------------------------------------

SubmitResult Exchange::submit_limit(Side side, Price price, uint64_t quantity, TimeInForce time_in_force) {
  return request(SubmitLimitEvent{side, price, quantity, time_in_force});
}

SubmitResult Exchange::submit_market(Side side, uint64_t quantity) {
  return request(SubmitMarketEvent{side, quantity});
}

CancelResult Exchange::cancel(OrderId order_id) { return request(CancelEvent{order_id}); }

ModifyResult Exchange::modify(OrderId order_id, Price new_price, uint64_t new_quantity) {
  return request(ModifyEvent{order_id, new_price, new_quantity});
}

StopSubmitResult Exchange::submit_stop_market(Side side, Price stop_price, uint64_t quantity) {
  return request(SubmitStopMarketEvent{side, stop_price, quantity});
}

StopSubmitResult Exchange::submit_stop_limit(Side side, Price stop_price, Price limit_price,
                                             uint64_t quantity, TimeInForce time_in_force) {
  return request(SubmitStopLimitEvent{side, stop_price, limit_price, quantity, time_in_force});
}

StopSubmitResult Exchange::submit_trailing_stop_market(Side side, Price initial_stop_price, uint64_t quantity,
                                                       TrailMethod trail_method) {
  return request(SubmitTrailingStopMarketEvent{side, initial_stop_price, quantity, trail_method});
}

StopSubmitResult Exchange::submit_trailing_stop_limit(Side side, Price initial_stop_price, Price limit_price,
                                                      uint64_t quantity, TimeInForce time_in_force,
                                                      TrailMethod trail_method) {
  return request(SubmitTrailingStopLimitEvent{side, initial_stop_price, limit_price, quantity, time_in_force,
                                              trail_method});
}

std::vector<Trade> Exchange::apply(const Event& event) {
  // `event` may live in this log; recording first could move it, so run the copy.
  const Event recorded = event;
  grow_for(events_, 1);
  events_.push_back(recorded);
  return std::visit([this](const auto& e) { return own_trades(run(e)); }, recorded);
}

Exchange Exchange::replay(std::span<const Event> events) {
  Exchange exchange;
  exchange.events_.reserve(events.size());
  for (const Event& event : events) exchange.apply(event);
  return exchange;
}

// ---- queries and maintenance --------------------------------------------------

std::optional<int64_t> Exchange::spread() const {
  const std::optional<Price> bid = best_bid();
  const std::optional<Price> ask = best_ask();
  if (!bid || !ask) return std::nullopt;
  return sat_sub(*ask, *bid);
}

std::optional<Order> Exchange::get_order(OrderId order_id) const {
  const Order* order = book_.find_order(order_id);
  return order ? std::optional<Order>(*order) : std::nullopt;
}

std::optional<StopOrder> Exchange::get_stop_order(OrderId order_id) const {
  const StopOrder* stop = stops_.find(order_id);
  return stop ? std::optional<StopOrder>(*stop) : std::nullopt;
}

size_t Exchange::clear_order_history() {
  stops_.clear_history();
  return book_.purge_terminal_orders();
}

// ---- request bodies -----------------------------------------------------------

SubmitResult Exchange::run(SubmitLimitEvent e) {
  SubmitResult result = execute_limit(e.side, e.price, e.quantity, e.time_in_force);
  settle_trades(result.trades);
  return result;
}

SubmitResult Exchange::run(SubmitMarketEvent e) {
  SubmitResult result = execute_limit(e.side, market_price(e.side), e.quantity, TimeInForce::IOC);
  settle_trades(result.trades);
  return result;
}

CancelResult Exchange::run(CancelEvent e) {
  // Orders and stops draw ids from one counter, so an id is never both; the
  // order table, a direct lookup, is asked first.
  const Order* order = book_.find_order(e.order_id);
  if (order == nullptr) {
    const StopOrder* stop = stops_.find(e.order_id);
    if (stop == nullptr || stop->status != StopStatus::Pending) return CancelResult::failed(CancelError::OrderNotFound);
    const uint64_t quantity = stop->quantity;
    stops_.cancel(e.order_id);
    return CancelResult::ok(quantity);
  }
  if (!is_active(order->status)) return CancelResult::failed(CancelError::OrderNotActive);
  const std::optional<Quantity> open = book_.cancel_order(e.order_id);
  check_invariant(open.has_value(), "active order cancels");
  return CancelResult::ok(*open);
}

ModifyResult Exchange::run(ModifyEvent e) {
  if (e.new_quantity == 0) return ModifyResult::failed(e.order_id, ModifyError::InvalidQuantity);
  const Order* order = book_.find_order(e.order_id);
  if (order == nullptr) return ModifyResult::failed(e.order_id, ModifyError::OrderNotFound);
  if (!is_active(order->status)) return ModifyResult::failed(e.order_id, ModifyError::OrderNotActive);
  const Side side = order->side;
  const TimeInForce time_in_force = order->time_in_force;
  const std::optional<Quantity> open = book_.cancel_order(e.order_id);
  check_invariant(open.has_value(), "active order cancels");
  SubmitResult replacement = execute_limit(side, e.new_price, e.new_quantity, time_in_force);
  settle_trades(replacement.trades);
  return ModifyResult{true, e.order_id, replacement.order_id, *open, std::move(replacement.trades),
                      std::nullopt};
}

StopSubmitResult Exchange::run(SubmitStopMarketEvent e) {
  return place_stop(new_stop(e.side, e.stop_price, std::nullopt, e.quantity, TimeInForce::GTC, std::nullopt));
}

StopSubmitResult Exchange::run(SubmitStopLimitEvent e) {
  return place_stop(new_stop(e.side, e.stop_price, e.limit_price, e.quantity, e.time_in_force, std::nullopt));
}

StopSubmitResult Exchange::run(SubmitTrailingStopMarketEvent e) {
  return place_stop(new_stop(e.side, e.stop_price, std::nullopt, e.quantity, TimeInForce::GTC, e.trail_method));
}

StopSubmitResult Exchange::run(SubmitTrailingStopLimitEvent e) {
  return place_stop(new_stop(e.side, e.stop_price, e.limit_price, e.quantity, e.time_in_force, e.trail_method));
}

// ---- engine -------------------------------------------------------------------

SubmitResult Exchange::execute_limit(Side side, Price price, uint64_t quantity, TimeInForce time_in_force) {
  if (time_in_force == TimeInForce::FOK && !book_.fok_can_fill(side, price, quantity)) {
    // A killed order still consumes an id and a clock tick, so later ids do not
    // depend on whether a kill happened.
    const OrderId id = book_.take_order_id();
    book_.take_timestamp();
    return SubmitResult{id, OrderStatus::Cancelled, {}, 0, 0, quantity};
  }
  const OrderId id = book_.take_order_id();
  Order order = Order::accepted(id, side, price, quantity, book_.take_timestamp(), time_in_force);
  MatchResult match = book_.match_order_with_policy(order);
  grow_for(trades_, match.trades.size());
  trades_.insert(trades_.end(), match.trades.begin(), match.trades.end());

  SubmitResult result{id, OrderStatus::Filled, std::move(match.trades), order.filled_quantity, 0, 0};
  const uint64_t rest = order.remaining_quantity;
  if (rest == 0) {
    order.status = OrderStatus::Filled;  // a zero quantity fills at once
    book_.store_order(order);
  } else if (time_in_force == TimeInForce::GTC) {
    result.resting_quantity = rest;
    book_.add_order(order);
  } else {
    // The rest is dropped but recorded as is, so the order reads how much was left.
    order.status = order.filled_quantity > 0 ? OrderStatus::PartiallyFilled : OrderStatus::Cancelled;
    result.cancelled_quantity = rest;
    book_.store_order(order);
  }
  result.status = order.status;
  return result;
}

SubmitResult Exchange::execute_stop(const StopOrder& stop) {
  if (stop.limit_price) return execute_limit(stop.side, *stop.limit_price, stop.quantity, stop.time_in_force);
  return execute_limit(stop.side, market_price(stop.side), stop.quantity, TimeInForce::IOC);
}

void Exchange::settle_trades(const std::vector<Trade>& trades) {
  if (trades.empty()) return;
  last_trade_price_ = trades.back().price;
  process_triggers();
}

void Exchange::process_triggers() {
  for (int pass = 0; pass < kMaxTriggerPasses; ++pass) {
    if (!last_trade_price_) return;
    const Price price = *last_trade_price_;
    // Trailing stops move first so that a stop tightened by this price can fire now.
    stops_.update_trailing_stops(price);
    const std::vector<StopOrder> fired = stops_.collect_triggered(price);
    if (fired.empty()) return;
    std::optional<Price> latest;
    for (const StopOrder& stop : fired) {
      const SubmitResult result = execute_stop(stop);
      if (!result.trades.empty()) latest = result.trades.back().price;
    }
    if (!latest) return;
    last_trade_price_ = latest;
  }
}

StopSubmitResult Exchange::place_stop(StopOrder stop) {
  stop.id = book_.take_order_id();
  stop.timestamp = book_.take_timestamp();
  stop.status = StopStatus::Pending;
  stops_.insert(stop);
  // Trailing stops are only evaluated by the next trade, after their first move.
  const bool crossed_now = !stop.trail_method && last_trade_price_ &&
                           stop_crossed(stop.side, stop.stop_price, *last_trade_price_);
  if (!crossed_now) return {stop.id, StopStatus::Pending};
  process_triggers();
  return {stop.id, stops_.find(stop.id)->status};
}

}  // namespace tessarin
