// OrderTable: every order the book has accepted and not yet purged, resting or
// not, keyed by id. It owns the stored Order copies and, per order, the sequence
// number of its level queue entry while it rests.
//
// Layout: a paged direct-addressed array. Ids are dense from 1 (every accepted
// order, rejected fill-or-kill order and stop order draws the next one), so slot
// `id` of page `id / kPageSize` is found with a shift and a mask, and a stored
// order costs its 72-byte slot and nothing else: no hash-table load factor and no
// per-entry node. A page is freed once purging empties it, which bounds the memory
// of long simulations that purge their history. Ids at or beyond
// kMaxDirectPages * kPageSize (only reachable by storing hand-picked ids, or after
// 17 billion orders) live in an ordered overflow map so the page directory stays
// small.
#ifndef TESSARIN_ORDER_TABLE_H_
#define TESSARIN_ORDER_TABLE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "order.h"
#include "types.h"

namespace tessarin {

// Sequence number of an order that has no queue entry (it never rested, or its
// entry was popped or tombstoned).
inline constexpr uint64_t kNotQueued = UINT64_MAX;

struct OrderSlot {
  Order order;  // order.id == kTombstoneId marks an empty slot
  uint64_t queue_sequence = kNotQueued;
};

// The memory budget of a resting order is built on this size.
static_assert(sizeof(OrderSlot) == 72, "OrderSlot grew: recheck the bytes per resting order");

class OrderTable {
 public:
  OrderTable() = default;
  OrderTable(const OrderTable& other);
  OrderTable& operator=(const OrderTable& other);
  OrderTable(OrderTable&&) noexcept = default;
  OrderTable& operator=(OrderTable&&) noexcept = default;

  // The slot holding `id`, or nullptr (always for kTombstoneId).
  OrderSlot* find(OrderId id);
  const OrderSlot* find(OrderId id) const;

  // Stores `order` and returns its slot.
  // REQUIRES: order.id != kTombstoneId and find(order.id) == nullptr.
  OrderSlot& insert(const Order& order, uint64_t queue_sequence);

  size_t size() const { return size_; }

  // Removes every order for which should_erase(order) holds, frees the pages that
  // become empty, and returns how many were removed.
  template <typename Predicate>
  size_t erase_if(Predicate should_erase);

  // Calls visit(order) for every stored order in increasing id order.
  template <typename Visitor>
  void for_each(Visitor&& visit) const;

  // Same orders (all fields); queue sequence numbers are bookkeeping and ignored.
  friend bool operator==(const OrderTable& a, const OrderTable& b);

 private:
  static constexpr unsigned kPageBits = 12;  // 4096 slots: 288 KiB per page
  static constexpr uint64_t kPageSize = uint64_t{1} << kPageBits;
  // 2^22 directory entries (32 MiB at most) cover ids below 2^34.
  static constexpr uint64_t kMaxDirectPages = uint64_t{1} << 22;

  struct Page {
    std::array<OrderSlot, kPageSize> slots{};
    size_t occupied = 0;
  };

  static bool is_direct(OrderId id) { return (id >> kPageBits) < kMaxDirectPages; }

  std::vector<std::unique_ptr<Page>> pages_;
  std::map<OrderId, OrderSlot> overflow_;
  size_t size_ = 0;
};

template <typename Predicate>
size_t OrderTable::erase_if(Predicate should_erase) {
  size_t erased = 0;
  for (std::unique_ptr<Page>& page : pages_) {
    if (!page) continue;
    for (OrderSlot& slot : page->slots) {
      if (slot.order.id == kTombstoneId || !should_erase(std::as_const(slot.order))) continue;
      slot = OrderSlot{};
      --page->occupied;
      ++erased;
    }
    if (page->occupied == 0) page.reset();
  }
  erased += std::erase_if(overflow_, [&](const auto& entry) { return should_erase(entry.second.order); });
  size_ -= erased;
  return erased;
}

template <typename Visitor>
void OrderTable::for_each(Visitor&& visit) const {
  for (const std::unique_ptr<Page>& page : pages_) {
    if (!page) continue;
    for (const OrderSlot& slot : page->slots) {
      if (slot.order.id != kTombstoneId) visit(slot.order);
    }
  }
  for (const auto& entry : overflow_) visit(entry.second.order);
}

}  // namespace tessarin

#endif  // TESSARIN_ORDER_TABLE_H_
