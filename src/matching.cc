// Matching of an incoming order against the opposite side of the book.
#include <algorithm>

#include "book.h"
#include "invariant.h"

namespace tessarin {
namespace {

// Equality crosses: a buy at the best ask (or a sell at the best bid) trades.
bool crosses(Side incoming_side, Price limit, Price resting) {
  return incoming_side == Side::Buy ? limit >= resting : limit <= resting;
}

}  // namespace

MatchResult OrderBook::match_order_with_policy(Order& incoming) {
  MatchResult result;
  PriceLevels& opposite_side = side_levels(opposite(incoming.side));
  while (incoming.remaining_quantity > 0) {
    Level* level = opposite_side.best_level();
    if (level == nullptr || !crosses(incoming.side, incoming.price, level->price())) break;
    match_at_level(incoming, *level, result);
    if (level->live_count() == 0) opposite_side.remove_level(level->price());
  }
  result.remaining_quantity = incoming.remaining_quantity;
  return result;
}

void OrderBook::match_at_level(Order& incoming, Level& level, MatchResult& result) {
  while (incoming.remaining_quantity > 0) {
    const std::optional<OrderId> passive_id = level.front_live_id();
    if (!passive_id) return;
    OrderSlot* passive = orders_.find(*passive_id);
    if (passive == nullptr) invariant_failure("invariant: resting order exists in book");
    Order& resting = passive->order;
    const Quantity quantity = std::min(incoming.remaining_quantity, resting.remaining_quantity);
    result.trades.push_back(make_trade(incoming, resting.id, level.price(), quantity));
    incoming.fill(quantity);
    resting.fill(quantity);
    level.reduce_total(quantity);
    if (resting.status == OrderStatus::Filled) {
      level.pop_front();
      passive->queue_sequence = kNotQueued;
    }
  }
}

Trade OrderBook::make_trade(const Order& incoming, OrderId passive_id, Price price,
                            Quantity quantity) {
  return Trade{.id = next_trade_id_++,
               .price = price,
               .quantity = quantity,
               .aggressor_order_id = incoming.id,
               .passive_order_id = passive_id,
               .timestamp = clock_++,
               .aggressor_side = incoming.side};
}

}  // namespace tessarin
