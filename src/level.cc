#include "level.h"

#include "invariant.h"
#include "saturating.h"

namespace tessarin {

uint64_t Level::append(OrderId id, Quantity quantity) {
  if (id == kTombstoneId) invariant_failure("OrderId(0) reserved for tombstones");
  const uint64_t sequence = front_sequence_ + queue_.size();
  queue_.push_back(id);
  total_ = sat_add(total_, quantity);
  return sequence;
}

std::optional<OrderId> Level::front_live_id() {
  while (!queue_.empty() && queue_.front() == kTombstoneId) {
    queue_.pop_front();
    ++front_sequence_;
    --tombstones_;
  }
  if (queue_.empty()) return std::nullopt;
  return queue_.front();
}

void Level::pop_front() {
  while (!queue_.empty()) {
    const OrderId id = queue_.front();
    queue_.pop_front();
    ++front_sequence_;
    if (id != kTombstoneId) return;
    --tombstones_;
  }
}

void Level::reduce_total(Quantity quantity) { total_ = sat_sub(total_, quantity); }

bool Level::tombstone(uint64_t sequence, OrderId id, Quantity open_quantity) {
  // Unsigned wrap sends sequences before the front past the end as well.
  const uint64_t index = sequence - front_sequence_;
  if (index >= queue_.size() || queue_[index] != id || id == kTombstoneId) return false;
  queue_[index] = kTombstoneId;
  ++tombstones_;
  reduce_total(open_quantity);
  return true;
}

void Level::compact() {
  size_t kept = 0;
  for (size_t i = 0; i < queue_.size(); ++i) {
    const OrderId id = queue_[i];
    if (id != kTombstoneId) queue_[kept++] = id;
  }
  queue_.truncate(kept);
  queue_.shrink_to_fit();
  tombstones_ = 0;
}

bool operator==(const Level& a, const Level& b) {
  if (a.price_ != b.price_ || a.total_ != b.total_ || a.live_count() != b.live_count()) {
    return false;
  }
  size_t i = 0;
  size_t j = 0;
  while (true) {
    while (i < a.queue_.size() && a.queue_[i] == kTombstoneId) ++i;
    while (j < b.queue_.size() && b.queue_[j] == kTombstoneId) ++j;
    if (i == a.queue_.size() || j == b.queue_.size()) return true;  // equal live counts
    if (a.queue_[i++] != b.queue_[j++]) return false;
  }
}

}  // namespace tessarin
