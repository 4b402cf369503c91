// PriceLevels: one side of the book, its levels ordered by price with the best
// price cached. It owns its Level objects (and through them their queues).
//
// Storage: a sorted sequence of levels, worst price first and best at the back,
// cut into blocks of at most kBlockCapacity contiguous levels. Matching, most adds
// and most cancels happen at or near the best price, i.e. in the last block, where
// an insert or erase moves only the few levels better than it and the best level
// is read directly. Blocking bounds the cost of a level created deep in a wide
// book (an ITCH day spans thousands of prices) to one block's worth of moves plus
// a shift of the small block index, where one flat vector would move every better
// level. The levels stay contiguous, without the per-level node of a tree map.
//
// Invariants:
//   1. Levels are strictly ordered by price, worst first, across and within
//      blocks; no block is empty; block_best_[b] is the price of block b's last
//      (best) level.
//   2. best() is the price of the very last level (highest bid, lowest ask), or
//      nothing when the side is empty.
//   3. The owner keeps every level holding at least one live order; a level whose
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
  bool empty() const { return blocks_.empty(); }
  size_t level_count() const { return level_count_; }

  // True when `a` is strictly better than `b` on this side (higher for bids,
  // lower for asks).
  bool is_better(Price a, Price b) const { return side_ == Side::Buy ? a > b : a < b; }

  // The level at `price`, or nullptr. The pointer is valid until the next level
  // is created or removed on this side.
  Level* find_level(Price price);
  const Level* find_level(Price price) const;
  // The best level, or nullptr when the side is empty. Same validity.
  Level* best_level() { return blocks_.empty() ? nullptr : &blocks_.back().back(); }

  // The level at `price`, creating an empty one (and moving best to it when it is
  // better) if none exists. Same validity as find_level.
  Level& get_or_create_level(Price price);

  // Removes the level at `price` if present, recomputing best when it was the best.
  void remove_level(Price price);

  // Calls visit(level) for each level best first while it returns true.
  template <typename Visitor>
  void for_each_best_first(Visitor&& visit) const;

  // Level `rank` in priority order, 0 being the best; walks the blocks, so meant
  // for inspection rather than loops. REQUIRES: rank < level_count().
  const Level& level_by_rank(size_t rank) const;

  // Saturating sum of total_quantity over the levels at `limit` or better (asks at
  // or below it, bids at or above it); 0 for an empty side.
  Quantity quantity_at_or_better(Price limit) const;

  // Compacts every level holding tombstones and calls on_renumbered(id, sequence)
  // for each live entry of those levels with its new sequence number.
  template <typename OnRenumbered>
  void compact(OnRenumbered&& on_renumbered);

  // Same side, best and levels in order; how the levels fall into blocks does
  // not count.
  friend bool operator==(const PriceLevels& a, const PriceLevels& b);

 private:
  using Block = std::vector<Level>;

  // 64 levels of 56 bytes: an insert moves at most ~3.5 KiB, and a book of 10^4
  // levels has a block index of a few hundred prices.
  static constexpr size_t kBlockCapacity = 64;

  // The block that holds `price` or would receive it. REQUIRES: !empty().
  size_t block_for(Price price) const;
  // Index of the first level of `block` whose price is not worse than `price`.
  size_t index_in(const Block& block, Price price) const;
  // Moves the better half of full block `b` into a new block after it.
  void split(size_t b);

  Side side_;
  std::vector<Block> blocks_;        // worst block first
  std::vector<Price> block_best_;    // best price of each block, for the search
  size_t level_count_ = 0;
  std::optional<Price> best_;
};

template <typename Visitor>
void PriceLevels::for_each_best_first(Visitor&& visit) const {
  for (auto block = blocks_.rbegin(); block != blocks_.rend(); ++block) {
    for (auto level = block->rbegin(); level != block->rend(); ++level) {
      if (!visit(*level)) return;
    }
  }
}

template <typename OnRenumbered>
void PriceLevels::compact(OnRenumbered&& on_renumbered) {
  for (Block& block : blocks_) {
    for (Level& level : block) {
      if (level.tombstone_count() == 0) continue;
      level.compact();
      for (size_t i = 0; i < level.queue_length(); ++i) {
        on_renumbered(level.entry(i), level.front_sequence() + i);
      }
    }
  }
}

}  // namespace tessarin

#endif  // TESSARIN_PRICE_LEVELS_H_
