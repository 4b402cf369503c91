// IdRing: the FIFO queue of one price level, a growable ring buffer of OrderId.
// It owns one heap array whose capacity is a power of two; an empty ring owns none.
// Written for this purpose because std::deque reserves 512+ bytes per level, which
// is too heavy for books of thousands of thin levels.
#ifndef TESSARIN_ID_RING_H_
#define TESSARIN_ID_RING_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "types.h"

namespace tessarin {

class IdRing {
 public:
  IdRing() = default;
  IdRing(const IdRing& other);
  IdRing& operator=(const IdRing& other);
  IdRing(IdRing&& other) noexcept;
  IdRing& operator=(IdRing&& other) noexcept;
  ~IdRing() = default;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  size_t capacity() const { return capacity_; }

  // Entry `index` counted from the front. REQUIRES: index < size().
  OrderId operator[](size_t index) const { return data_[slot(index)]; }
  OrderId& operator[](size_t index) { return data_[slot(index)]; }

  // REQUIRES: !empty().
  OrderId front() const { return data_[head_]; }
  void pop_front();

  // Doubles the capacity when full (invariant failure past kMaxCapacity entries).
  void push_back(OrderId id);

  // Keeps the first `count` entries. REQUIRES: count <= size().
  void truncate(size_t count) { size_ = static_cast<uint32_t>(count); }

  // Reallocates to the smallest capacity that holds size() entries (none when
  // empty), returning memory a once-deep queue no longer needs.
  void shrink_to_fit();

 private:
  // 32-bit indices keep the ring at 24 bytes; 2^31 ids (16 GiB) at one price is
  // far past what one process can hold anyway.
  static constexpr uint32_t kMaxCapacity = uint32_t{1} << 31;
  // A new queue starts with room for two ids: most levels stay thin.
  static constexpr uint32_t kMinCapacity = 2;

  size_t slot(size_t index) const { return (head_ + index) & (capacity_ - 1); }
  void reallocate(uint32_t capacity);

  std::unique_ptr<OrderId[]> data_;
  uint32_t head_ = 0;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
};

}  // namespace tessarin

#endif  // TESSARIN_ID_RING_H_
