// Test helpers that drive an OrderBook the way the exchange does: draw an id and
// a timestamp, match, then rest or store what is left.
#ifndef TESSARIN_TESTS_CPP_BOOK_FIXTURE_H_
#define TESSARIN_TESTS_CPP_BOOK_FIXTURE_H_

#include <vector>

#include "book.h"

namespace tessarin::testing_support {

// Rests a new GTC order without matching. REQUIRES: it does not cross.
inline OrderId rest(OrderBook& book, Side side, Price price, Quantity quantity) {
  const OrderId id = book.take_order_id();
  book.add_order(Order::accepted(id, side, price, quantity, book.take_timestamp(),
                                 TimeInForce::GTC));
  return id;
}

struct Submitted {
  OrderId id = 0;
  std::vector<Trade> trades;
};

// Submits a limit order: fill-or-kill refusal, matching, then the rest rests
// (GTC) or is stored (IOC, FOK).
inline Submitted submit(OrderBook& book, Side side, Price price, Quantity quantity,
                        TimeInForce tif = TimeInForce::GTC) {
  Submitted out;
  out.id = book.take_order_id();
  const Timestamp timestamp = book.take_timestamp();
  if (tif == TimeInForce::FOK && !book.fok_can_fill(side, price, quantity)) return out;
  Order order = Order::accepted(out.id, side, price, quantity, timestamp, tif);
  out.trades = book.match_order_with_policy(order).trades;
  if (order.remaining_quantity > 0 && tif == TimeInForce::GTC) {
    book.add_order(order);
    return out;
  }
  if (order.remaining_quantity > 0 && order.filled_quantity == 0) {
    order.status = OrderStatus::Cancelled;
  }
  book.store_order(order);
  return out;
}

}  // namespace tessarin::testing_support

#endif  // TESSARIN_TESTS_CPP_BOOK_FIXTURE_H_
