// Level: the FIFO queue of orders resting at one price on one side, oldest first,
// with the running total of their open quantity. It owns the queue of ids; the
// orders themselves live in the book's order table.
//
// Cancellation is lazy: a cancelled entry is overwritten with kTombstoneId and
// stays queued until it reaches the front or the level is compacted.
//
// Every entry carries an absolute sequence number (front_sequence() + index) that
// only changes when compact() drops tombstones ahead of it, so the book can reach
// an order's entry in constant time from the number it recorded at append.
//
// Invariants:
//   1. tombstone_count() equals the number of kTombstoneId entries in the queue.
//   2. total_quantity() is the saturating sum of the open quantity of the live
//      entries (additions stop at 2^64-1, subtractions at 0). Because it
//      saturates, the level's existence is decided by live_count(), never by it.
#ifndef TESSARIN_LEVEL_H_
#define TESSARIN_LEVEL_H_

#include <cstddef>
#include <cstdint>
#include <optional>

#include "id_ring.h"
#include "types.h"

namespace tessarin {

class Level {
 public:
  explicit Level(Price price) : price_(price) {}

  Price price() const { return price_; }
  Quantity total_quantity() const { return total_; }
  // Live ids and tombstones.
  size_t queue_length() const { return queue_.size(); }
  size_t tombstone_count() const { return tombstones_; }
  size_t live_count() const { return queue_.size() - tombstones_; }

  // Entry `index` counted from the front (kTombstoneId for a cancelled one).
  // REQUIRES: index < queue_length().
  OrderId entry(size_t index) const { return queue_[index]; }
  // Sequence number of the front entry; entry i has front_sequence() + i.
  uint64_t front_sequence() const { return front_sequence_; }

  // Pushes `id` at the back, adds `quantity` to the total and returns the entry's
  // sequence number. REQUIRES: id != kTombstoneId (otherwise an invariant failure).
  uint64_t append(OrderId id, Quantity quantity);

  // Drops tombstones from the front; the oldest live id, or nothing when empty.
  std::optional<OrderId> front_live_id();

  // Removes entries from the front up to and including the first live id.
  void pop_front();

  // Takes a fill of a live order at this price off the total.
  void reduce_total(Quantity quantity);

  // Turns the entry numbered `sequence` into a tombstone and takes
  // `open_quantity` off the total, provided that entry holds `id`; returns false
  // and changes nothing otherwise.
  bool tombstone(uint64_t sequence, OrderId id, Quantity open_quantity);

  // Drops every tombstone, keeping the live ids in order; they are renumbered
  // contiguously from front_sequence(). Also releases unneeded queue capacity.
  void compact();

  // Observable state only: price, total and the live ids in queue order.
  // Tombstones and sequence numbering are bookkeeping and do not count, so a
  // compacted level equals its uncompacted twin.
  friend bool operator==(const Level& a, const Level& b);

 private:
  Price price_;
  Quantity total_ = 0;
  uint64_t front_sequence_ = 0;
  IdRing queue_;
  size_t tombstones_ = 0;
};

}  // namespace tessarin

#endif  // TESSARIN_LEVEL_H_
