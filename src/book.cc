#include "book.h"

#include <limits>
#include <string>

#include "invariant.h"

namespace tessarin {

const Order* OrderBook::find_order(OrderId id) const {
  const OrderSlot* slot = orders_.find(id);
  return slot == nullptr ? nullptr : &slot->order;
}

void OrderBook::check_storable(OrderId id) const {
  if (id == kTombstoneId) invariant_failure("OrderId(0) reserved for tombstones");
  if (orders_.find(id) != nullptr) {
    invariant_failure("order " + order_id_text(id) + " already exists");
  }
}

void OrderBook::add_order(Order order) {
  check_storable(order.id);
  // A resting order without open quantity would trade 0 when matched.
  if (!is_active(order.status) || order.remaining_quantity == 0) {
    invariant_failure("cannot rest order " + order_id_text(order.id) + " without open quantity");
  }
  Level& level = side_levels(order.side).get_or_create_level(order.price);
  order.queue_position = level.queue_length();
  const uint64_t sequence = level.append(order.id, order.remaining_quantity);
  orders_.insert(order, sequence);
}

void OrderBook::store_order(const Order& order) {
  check_storable(order.id);
  orders_.insert(order, kNotQueued);
}

std::optional<Quantity> OrderBook::cancel_order(OrderId id) {
  OrderSlot* slot = orders_.find(id);
  if (slot == nullptr || !is_active(slot->order.status)) return std::nullopt;
  Order& order = slot->order;
  if (slot->queue_sequence == kNotQueued) return order.cancel();

  PriceLevels& side = side_levels(order.side);
  Level* level = side.find_level(order.price);
  if (level == nullptr ||
      !level->tombstone(slot->queue_sequence, id, order.remaining_quantity)) {
    invariant_failure("resting order " + order_id_text(id) + " missing from its level queue");
  }
  slot->queue_sequence = kNotQueued;
  if (level->live_count() == 0) side.remove_level(order.price);
  return order.cancel();
}

bool OrderBook::fok_can_fill(Side side, Price limit, Quantity quantity) const {
  return quantity_at_or_better(opposite(side), limit) >= quantity;
}

Quantity OrderBook::quantity_at_or_better(Side resting_side, Price limit) const {
  return levels(resting_side).quantity_at_or_better(limit);
}

BookSnapshot OrderBook::snapshot(size_t levels) const { return take_snapshot(bids_, asks_, levels); }

BookSnapshot OrderBook::full_snapshot() const {
  return take_snapshot(bids_, asks_, std::numeric_limits<size_t>::max());
}

void OrderBook::compact() {
  auto renumber = [this](OrderId id, uint64_t sequence) {
    orders_.find(id)->queue_sequence = sequence;
  };
  bids_.compact(renumber);
  asks_.compact(renumber);
}

size_t OrderBook::purge_terminal_orders() {
  // A terminal order has no queue entry (a fill pops it, a cancel tombstones
  // it), so removing it from the table never strands a queue entry.
  return orders_.erase_if([](const Order& order) { return !is_active(order.status); });
}

}  // namespace tessarin
