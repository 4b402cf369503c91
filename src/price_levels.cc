#include "price_levels.h"

#include <algorithm>
#include <iterator>

#include "saturating.h"

namespace tessarin {
namespace {

template <typename Container>
auto at_index(Container& container, size_t index) {
  return container.begin() + static_cast<std::ptrdiff_t>(index);
}

}  // namespace

size_t PriceLevels::block_for(Price price) const {
  const auto first_not_worse = std::partition_point(
      block_best_.begin(), block_best_.end(), [&](Price best) { return is_better(price, best); });
  const size_t b = static_cast<size_t>(first_not_worse - block_best_.begin());
  return b == blocks_.size() ? b - 1 : b;  // better than every level: the last block
}

size_t PriceLevels::index_in(const Block& block, Price price) const {
  const auto first_not_worse = std::partition_point(
      block.begin(), block.end(), [&](const Level& level) { return is_better(price, level.price()); });
  return static_cast<size_t>(first_not_worse - block.begin());
}

Level* PriceLevels::find_level(Price price) {
  if (blocks_.empty()) return nullptr;
  Block& block = blocks_[block_for(price)];
  const size_t i = index_in(block, price);
  return i < block.size() && block[i].price() == price ? &block[i] : nullptr;
}

const Level* PriceLevels::find_level(Price price) const {
  return const_cast<PriceLevels*>(this)->find_level(price);
}

void PriceLevels::split(size_t b) {
  Block& full = blocks_[b];
  const size_t half = full.size() / 2;
  Block better(std::make_move_iterator(at_index(full, half)), std::make_move_iterator(full.end()));
  full.erase(at_index(full, half), full.end());
  blocks_.insert(at_index(blocks_, b + 1), std::move(better));
  block_best_.insert(at_index(block_best_, b + 1), block_best_[b]);
  block_best_[b] = blocks_[b].back().price();
}

Level& PriceLevels::get_or_create_level(Price price) {
  if (blocks_.empty()) {
    blocks_.emplace_back().emplace_back(price);
    block_best_.push_back(price);
    best_ = price;
    ++level_count_;
    return blocks_.back().back();
  }
  size_t b = block_for(price);
  size_t i = index_in(blocks_[b], price);
  if (i < blocks_[b].size() && blocks_[b][i].price() == price) return blocks_[b][i];

  if (!best_ || is_better(price, *best_)) best_ = price;
  if (blocks_[b].size() == kBlockCapacity) {
    split(b);
    const size_t kept = blocks_[b].size();
    if (i > kept) {  // equal to `kept` stays: appending to the lower half is fine
      i -= kept;
      ++b;
    }
  }
  Block& block = blocks_[b];
  block.emplace(at_index(block, i), price);
  if (i + 1 == block.size()) block_best_[b] = price;
  ++level_count_;
  return block[i];
}

void PriceLevels::remove_level(Price price) {
  if (blocks_.empty()) return;
  const size_t b = block_for(price);
  Block& block = blocks_[b];
  const size_t i = index_in(block, price);
  if (i == block.size() || block[i].price() != price) return;
  block.erase(at_index(block, i));
  --level_count_;
  if (block.empty()) {
    blocks_.erase(at_index(blocks_, b));
    block_best_.erase(at_index(block_best_, b));
  } else if (i == block.size()) {
    block_best_[b] = block.back().price();
  }
  if (best_ == price) {
    best_ = blocks_.empty() ? std::nullopt : std::optional<Price>(blocks_.back().back().price());
  }
}

const Level& PriceLevels::level_by_rank(size_t rank) const {
  size_t b = blocks_.size() - 1;
  while (rank >= blocks_[b].size()) rank -= blocks_[b--].size();
  return blocks_[b][blocks_[b].size() - 1 - rank];
}

Quantity PriceLevels::quantity_at_or_better(Price limit) const {
  Quantity total = 0;
  for_each_best_first([&](const Level& level) {
    if (is_better(limit, level.price())) return false;
    total = sat_add(total, level.total_quantity());
    return true;
  });
  return total;
}

bool operator==(const PriceLevels& a, const PriceLevels& b) {
  if (a.side_ != b.side_ || a.best_ != b.best_ || a.level_count_ != b.level_count_) return false;
  size_t block = 0;
  size_t index = 0;
  for (const PriceLevels::Block& levels : a.blocks_) {
    for (const Level& level : levels) {
      if (!(level == b.blocks_[block][index])) return false;
      if (++index == b.blocks_[block].size()) {
        ++block;
        index = 0;
      }
    }
  }
  return true;
}

}  // namespace tessarin
