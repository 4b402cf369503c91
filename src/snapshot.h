// Depth snapshots: a copy of the top levels of both sides of a book, best first,
// and the analytics read from it (imbalance, spread, mid, weighted mid). A
// snapshot owns its lists and does not refer back to the book.
#ifndef TESSARIN_SNAPSHOT_H_
#define TESSARIN_SNAPSHOT_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "price_levels.h"
#include "types.h"

namespace tessarin {

struct LevelSnapshot {
  Price price = 0;
  // The level's total_quantity (saturating sum of live open quantity).
  Quantity quantity = 0;
  // Live orders at the level (tombstones excluded).
  size_t order_count = 0;

  friend bool operator==(const LevelSnapshot&, const LevelSnapshot&) = default;
};

struct BookSnapshot {
  std::vector<LevelSnapshot> bids;  // descending price
  std::vector<LevelSnapshot> asks;  // ascending price

  // (B - A) / (B + A) over the quantities of all listed levels; nothing when
  // B + A (summed as integers, saturating) is 0.
  std::optional<double> imbalance() const;
  // Best ask - best bid in cents (saturating); nothing when a side is empty.
  std::optional<Price> spread() const;
  // (best bid + best ask, summed exactly as integers) / 2; nothing when a side
  // is empty.
  std::optional<double> mid_price() const;
  // (Qa * Pb + Qb * Pa) / (Qa + Qb) from the first level of each side: each best
  // price weighted by the opposite quantity. Nothing when a side is empty or
  // Qa + Qb is 0.
  std::optional<double> weighted_mid() const;

  friend bool operator==(const BookSnapshot&, const BookSnapshot&) = default;
};

// At most `levels` levels of each side, best first (0 gives two empty lists).
BookSnapshot take_snapshot(const PriceLevels& bids, const PriceLevels& asks, size_t levels);

}  // namespace tessarin

#endif  // TESSARIN_SNAPSHOT_H_
