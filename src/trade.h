// One execution between an incoming order (the aggressor) and a resting order
// (the passive side), always at the resting order's price level.
#ifndef TESSARIN_TRADE_H_
#define TESSARIN_TRADE_H_

#include "side.h"
#include "types.h"

namespace tessarin {

struct Trade {
  TradeId id = 0;
  Price price = 0;
  // At least 1 when produced by matching.
  Quantity quantity = 0;
  OrderId aggressor_order_id = 0;
  OrderId passive_order_id = 0;
  Timestamp timestamp = 0;
  Side aggressor_side = Side::Buy;

  friend bool operator==(const Trade&, const Trade&) = default;
};

}  // namespace tessarin

#endif  // TESSARIN_TRADE_H_
