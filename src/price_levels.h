// PriceLevels: one side of the book, its levels ordered by price with the best
// price cached. It owns its Level objects (and through them their queues).
//
// The levels sit in one sorted vector, worst price first and best at the back:
// matching, most adds and most cancels happen at or near the best price, where a
// vector insert or erase moves few levels and the best level is read directly.
// A level created deep in the book costs a move of the levels better than it;
// the price-sorted contiguous storage is also lighter than a node per level.
//
// Invariants:
//   1. levels are strictly ordered by price, worst first; best() is the price of
//      the last level (highest bid, lowest ask) or nothing when the side is empty.
//   2. The owner keeps every level holding at least one live order; a level whose
//      live count reaches 0 is removed by the owner at once.
#ifndef TESSARIN_PRICE_LEVELS_H_
#define TESSARIN_PRICE_LEVELS_H_

#include <cstddef>
#include <optional>
#include <vector>

#include "level.h"
#include "side.h"
#include "types.h"

namespace tessarin {

class PriceLevels {
 public:
  explicit PriceLevels(Side side) : side_(side) {}

  Side side() const { return side_; }
  // Highest bid or lowest ask; constant time.
  std::optional<Price> best() const { return best_; }
  bool empty() const { return levels_.empty(); }
  size_t level_count() const { return levels_.size(); }

  // True when `a` is strictly better than `b` on this side (higher for bids,
  // lower for asks).
  bool is_better(Price a, Price b) const { return side_ == Side::Buy ? a > b : a < b; }

  // The level at `price`, or nullptr. The pointer is valid until the next level
  // is created or removed on this side.
  Level* find_level(Price price);
  const Level* find_level(Price price) const;
  // The best level, or nullptr when the side is empty.
  Level* best_level() { return levels_.empty() ? nullptr : &levels_.back(); }

  // The level at `price`, creating an empty one (and moving best to it when it is
  // better) if none exists. Same validity as find_level.
  Level& get_or_create_level(Price price);

  // Removes the level at `price` if present, recomputing best when it was the best.
  void remove_level(Price price);

  // Levels in priority order: rank 0 is the best. REQUIRES: rank < level_count().
  const Level& level_by_rank(size_t rank) const { return levels_[levels_.size() - 1 - rank]; }

  // Saturating sum of total_quantity over the levels at `limit` or better (asks at
  // or below it, bids at or above it); 0 for an empty side.
  Quantity quantity_at_or_better(Price limit) const;

  // Compacts every level holding tombstones and calls on_renumbered(id, sequence)
  // for each live entry of those levels with its new sequence number.
  template <typename OnRenumbered>
  void compact(OnRenumbered&& on_renumbered);

  friend bool operator==(const PriceLevels&, const PriceLevels&) = default;

 private:
  // Index of the first level whose price is not worse than `price`.
  size_t lower_index(Price price) const;

  Side side_;
  std::vector<Level> levels_;
  std::optional<Price> best_;
};

template <typename OnRenumbered>
void PriceLevels::compact(OnRenumbered&& on_renumbered) {
  for (Level& level : levels_) {
    if (level.tombstone_count() == 0) continue;
    level.compact();
    for (size_t i = 0; i < level.queue_length(); ++i) {
      on_renumbered(level.entry(i), level.front_sequence() + i);
    }
  }
}

}  // namespace tessarin

#endif  // TESSARIN_PRICE_LEVELS_H_
