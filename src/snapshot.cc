#include "snapshot.h"

#include <algorithm>

#include "saturating.h"

namespace tessarin {
namespace {

std::vector<LevelSnapshot> top_levels(const PriceLevels& side, size_t levels) {
  const size_t count = std::min(levels, side.level_count());
  std::vector<LevelSnapshot> out;
  out.reserve(count);
  side.for_each_best_first([&](const Level& level) {
    if (out.size() == count) return false;
    out.push_back({level.price(), level.total_quantity(), level.live_count()});
    return true;
  });
  return out;
}

Quantity total_quantity(const std::vector<LevelSnapshot>& levels) {
  Quantity total = 0;
  for (const LevelSnapshot& level : levels) total = sat_add(total, level.quantity);
  return total;
}

}  // namespace

BookSnapshot take_snapshot(const PriceLevels& bids, const PriceLevels& asks, size_t levels) {
  return BookSnapshot{top_levels(bids, levels), top_levels(asks, levels)};
}

std::optional<double> BookSnapshot::imbalance() const {
  const Quantity b = total_quantity(bids);
  const Quantity a = total_quantity(asks);
  const Quantity sum = sat_add(b, a);
  if (sum == 0) return std::nullopt;
  return (static_cast<double>(b) - static_cast<double>(a)) / static_cast<double>(sum);
}

std::optional<Price> BookSnapshot::spread() const {
  if (bids.empty() || asks.empty()) return std::nullopt;
  return sat_sub(asks.front().price, bids.front().price);
}

std::optional<double> BookSnapshot::mid_price() const {
  if (bids.empty() || asks.empty()) return std::nullopt;
  // The 128-bit sum is exact, so even extreme prices give the true midpoint.
  const __int128 sum = static_cast<__int128>(bids.front().price) + asks.front().price;
  return static_cast<double>(sum) / 2.0;
}

std::optional<double> BookSnapshot::weighted_mid() const {
  if (bids.empty() || asks.empty()) return std::nullopt;
  const LevelSnapshot& bid = bids.front();
  const LevelSnapshot& ask = asks.front();
  const Quantity weight = sat_add(bid.quantity, ask.quantity);
  if (weight == 0) return std::nullopt;
  const double numerator = static_cast<double>(ask.quantity) * static_cast<double>(bid.price) +
                           static_cast<double>(bid.quantity) * static_cast<double>(ask.price);
  return numerator / static_cast<double>(weight);
}

}  // namespace tessarin
