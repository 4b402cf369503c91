#include "order.h"

#include <string>

#include "invariant.h"
#include "saturating.h"

namespace tessarin {

std::string_view status_name(OrderStatus status) {
  switch (status) {
    case OrderStatus::New: return "New";
    case OrderStatus::PartiallyFilled: return "PartiallyFilled";
    case OrderStatus::Filled: return "Filled";
    case OrderStatus::Cancelled: return "Cancelled";
  }
  return "New";  // unreachable: every enumerator is handled above
}

Order Order::accepted(OrderId id, Side side, Price price, Quantity quantity,
                      Timestamp timestamp, TimeInForce time_in_force) {
  return Order{.id = id,
               .price = price,
               .original_quantity = quantity,
               .remaining_quantity = quantity,
               .filled_quantity = 0,
               .timestamp = timestamp,
               .queue_position = 0,
               .side = side,
               .time_in_force = time_in_force,
               .status = OrderStatus::New};
}

void Order::fill(Quantity quantity) {
  if (quantity > remaining_quantity) {
    invariant_failure("fill quantity " + std::to_string(quantity) + " exceeds remaining " +
                      std::to_string(remaining_quantity));
  }
  remaining_quantity -= quantity;
  filled_quantity = sat_add(filled_quantity, quantity);
  status = remaining_quantity == 0 ? OrderStatus::Filled : OrderStatus::PartiallyFilled;
}

Quantity Order::cancel() {
  if (!is_active(status)) {
    invariant_failure("cannot cancel order in terminal state " + std::string(status_name(status)));
  }
  const Quantity open = remaining_quantity;
  remaining_quantity = 0;
  status = OrderStatus::Cancelled;
  return open;
}

}  // namespace tessarin
