#include "id_ring.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "invariant.h"

namespace tessarin {

IdRing::IdRing(const IdRing& other) {
  if (other.size_ == 0) return;
  data_ = std::make_unique<OrderId[]>(other.capacity_);
  for (size_t i = 0; i < other.size_; ++i) data_[i] = other[i];
  size_ = other.size_;
  capacity_ = other.capacity_;
}

IdRing& IdRing::operator=(const IdRing& other) {
  if (this != &other) *this = IdRing(other);
  return *this;
}

IdRing::IdRing(IdRing&& other) noexcept
    : data_(std::move(other.data_)),
      head_(std::exchange(other.head_, 0)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

IdRing& IdRing::operator=(IdRing&& other) noexcept {
  data_ = std::move(other.data_);
  head_ = std::exchange(other.head_, 0);
  size_ = std::exchange(other.size_, 0);
  capacity_ = std::exchange(other.capacity_, 0);
  return *this;
}

void IdRing::pop_front() {
  head_ = static_cast<uint32_t>(slot(1));
  --size_;
}

void IdRing::push_back(OrderId id) {
  if (size_ == capacity_) {
    if (capacity_ == kMaxCapacity) invariant_failure("level queue exceeds its capacity");
    reallocate(capacity_ == 0 ? kMinCapacity : capacity_ * 2);
  }
  data_[slot(size_)] = id;
  ++size_;
}

void IdRing::shrink_to_fit() {
  if (size_ == 0) {
    *this = IdRing();
    return;
  }
  const uint32_t fitted = std::max(kMinCapacity, std::bit_ceil(size_));
  if (fitted < capacity_) reallocate(fitted);
}

void IdRing::reallocate(uint32_t capacity) {
  auto data = std::make_unique_for_overwrite<OrderId[]>(capacity);
  for (size_t i = 0; i < size_; ++i) data[i] = (*this)[i];
  data_ = std::move(data);
  head_ = 0;
  capacity_ = capacity;
}

}  // namespace tessarin
