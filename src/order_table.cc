#include "order_table.h"

#include "invariant.h"

namespace tessarin {

OrderTable::OrderTable(const OrderTable& other) : overflow_(other.overflow_), size_(other.size_) {
  pages_.reserve(other.pages_.size());
  for (const std::unique_ptr<Page>& page : other.pages_) {
    pages_.push_back(page ? std::make_unique<Page>(*page) : nullptr);
  }
}

OrderTable& OrderTable::operator=(const OrderTable& other) {
  if (this != &other) *this = OrderTable(other);
  return *this;
}

OrderSlot* OrderTable::find(OrderId id) {
  if (id == kTombstoneId) return nullptr;
  if (!is_direct(id)) {
    auto it = overflow_.find(id);
    return it == overflow_.end() ? nullptr : &it->second;
  }
  const uint64_t page_index = id >> kPageBits;
  if (page_index >= pages_.size() || !pages_[page_index]) return nullptr;
  OrderSlot& slot = pages_[page_index]->slots[id & (kPageSize - 1)];
  return slot.order.id == id ? &slot : nullptr;
}

const OrderSlot* OrderTable::find(OrderId id) const {
  return const_cast<OrderTable*>(this)->find(id);
}

OrderSlot& OrderTable::insert(const Order& order, uint64_t queue_sequence) {
  check_invariant(order.id != kTombstoneId && find(order.id) == nullptr,
                  "order table insert of a reserved or present id");
  ++size_;
  if (!is_direct(order.id)) {
    return overflow_[order.id] = OrderSlot{order, queue_sequence};
  }
  const uint64_t page_index = order.id >> kPageBits;
  if (page_index >= pages_.size()) pages_.resize(page_index + 1);
  std::unique_ptr<Page>& page = pages_[page_index];
  if (!page) page = std::make_unique<Page>();
  ++page->occupied;
  OrderSlot& slot = page->slots[order.id & (kPageSize - 1)];
  slot = OrderSlot{order, queue_sequence};
  return slot;
}

bool operator==(const OrderTable& a, const OrderTable& b) {
  if (a.size_ != b.size_) return false;
  bool equal = true;
  a.for_each([&](const Order& order) {
    const OrderSlot* other = b.find(order.id);
    equal = equal && other != nullptr && other->order == order;
  });
  return equal;
}

}  // namespace tessarin
