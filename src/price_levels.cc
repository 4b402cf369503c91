#include "price_levels.h"

#include <algorithm>
#include <iterator>

#include "saturating.h"

namespace tessarin {

size_t PriceLevels::lower_index(Price price) const {
  auto first_not_worse = std::partition_point(
      levels_.begin(), levels_.end(),
      [&](const Level& level) { return is_better(price, level.price()); });
  return static_cast<size_t>(first_not_worse - levels_.begin());
}

Level* PriceLevels::find_level(Price price) {
  const size_t index = lower_index(price);
  if (index == levels_.size() || levels_[index].price() != price) return nullptr;
  return &levels_[index];
}

const Level* PriceLevels::find_level(Price price) const {
  return const_cast<PriceLevels*>(this)->find_level(price);
}

Level& PriceLevels::get_or_create_level(Price price) {
  const size_t index = lower_index(price);
  if (index < levels_.size() && levels_[index].price() == price) return levels_[index];
  if (!best_ || is_better(price, *best_)) best_ = price;
  return *levels_.emplace(levels_.begin() + static_cast<std::ptrdiff_t>(index), price);
}

void PriceLevels::remove_level(Price price) {
  const size_t index = lower_index(price);
  if (index == levels_.size() || levels_[index].price() != price) return;
  levels_.erase(levels_.begin() + static_cast<std::ptrdiff_t>(index));
  if (best_ == price) {
    best_ = levels_.empty() ? std::nullopt : std::optional<Price>(levels_.back().price());
  }
}

Quantity PriceLevels::quantity_at_or_better(Price limit) const {
  Quantity total = 0;
  for (auto it = levels_.rbegin(); it != levels_.rend() && !is_better(limit, it->price()); ++it) {
    total = sat_add(total, it->total_quantity());
  }
  return total;
}

}  // namespace tessarin
