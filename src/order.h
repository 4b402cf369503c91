// One limit or market order as the book keeps it, and its lifecycle status.
// An Order is a plain value; the book's order table owns the stored copies.
//
// Invariants of every order the engine creates:
//   1. filled_quantity + remaining_quantity <= original_quantity, with equality
//      except after a cancellation (which zeroes remaining and keeps filled).
//   2. A terminal order (Filled, Cancelled) never becomes active again.
#ifndef TESSARIN_ORDER_H_
#define TESSARIN_ORDER_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "side.h"
#include "tif.h"
#include "types.h"

namespace tessarin {

enum class OrderStatus : uint8_t { New, PartiallyFilled, Filled, Cancelled };

// New and PartiallyFilled are active; Filled and Cancelled are terminal.
constexpr bool is_active(OrderStatus status) {
  return status == OrderStatus::New || status == OrderStatus::PartiallyFilled;
}

// The variant name: "New", "PartiallyFilled", "Filled", "Cancelled".
std::string_view status_name(OrderStatus status);

struct Order {
  // Fields are laid out widest first so the record packs into 64 bytes (the order
  // table holds one per accepted order).
  OrderId id = 0;
  // Limit price; for a market order the extreme price of its side.
  Price price = 0;
  Quantity original_quantity = 0;
  Quantity remaining_quantity = 0;
  Quantity filled_quantity = 0;
  Timestamp timestamp = 0;
  // Entries in its level's queue when it was appended there; 0 if it never rested.
  size_t queue_position = 0;
  Side side = Side::Buy;
  TimeInForce time_in_force = TimeInForce::GTC;
  OrderStatus status = OrderStatus::New;

  // A freshly accepted order: all of `quantity` open, nothing filled, status New.
  static Order accepted(OrderId id, Side side, Price price, Quantity quantity,
                        Timestamp timestamp, TimeInForce time_in_force);

  // Moves `quantity` from remaining to filled; Filled at remaining 0, else
  // PartiallyFilled.
  // REQUIRES: quantity <= remaining_quantity (otherwise an invariant failure).
  void fill(Quantity quantity);

  // Zeroes remaining (filled is kept), sets Cancelled and returns what was open.
  // REQUIRES: is_active(status) (otherwise an invariant failure).
  Quantity cancel();

  friend bool operator==(const Order&, const Order&) = default;
};

}  // namespace tessarin

#endif  // TESSARIN_ORDER_H_
