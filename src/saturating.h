// Saturating integer arithmetic for cents, micro-shares and quantities.
// Every money or quantity computation in the project goes through these helpers so
// that nothing wraps and no signed overflow (undefined behaviour) can occur.
//
// Saturation rules (signed 64-bit, i.e. cents and micro-shares):
//   max + 1 == max        min - 1 == min        max * 2 == max      min * 2 == min
//   -min == max           min / -1 == max       x / 0 is not defined here (callers guard)
// Unsigned 64-bit (quantities, counts):
//   max + 1 == max        0 - 1 == 0            max * 2 == max
#ifndef TESSARIN_SATURATING_H_
#define TESSARIN_SATURATING_H_

#include <cstdint>
#include <limits>

namespace tessarin {

inline constexpr int64_t kI64Max = std::numeric_limits<int64_t>::max();
inline constexpr int64_t kI64Min = std::numeric_limits<int64_t>::min();
inline constexpr uint64_t kU64Max = std::numeric_limits<uint64_t>::max();

// Clamps a 128-bit intermediate into the signed 64-bit range.
constexpr int64_t saturate_i64(__int128 v) {
  if (v > kI64Max) return kI64Max;
  if (v < kI64Min) return kI64Min;
  return static_cast<int64_t>(v);
}

constexpr uint64_t saturate_u64(unsigned __int128 v) {
  return v > kU64Max ? kU64Max : static_cast<uint64_t>(v);
}

constexpr int64_t sat_add(int64_t a, int64_t b) {
  int64_t r = 0;
  if (__builtin_add_overflow(a, b, &r)) return b > 0 ? kI64Max : kI64Min;
  return r;
}

constexpr int64_t sat_sub(int64_t a, int64_t b) {
  int64_t r = 0;
  if (__builtin_sub_overflow(a, b, &r)) return b < 0 ? kI64Max : kI64Min;
  return r;
}

constexpr int64_t sat_mul(int64_t a, int64_t b) {
  return saturate_i64(static_cast<__int128>(a) * b);
}

constexpr int64_t sat_neg(int64_t a) { return a == kI64Min ? kI64Max : -a; }

constexpr int64_t sat_abs(int64_t a) { return a < 0 ? sat_neg(a) : a; }

// Truncating division; the one overflowing case (min / -1) saturates.
// REQUIRES: b != 0.
constexpr int64_t sat_div(int64_t a, int64_t b) {
  if (a == kI64Min && b == -1) return kI64Max;
  return a / b;
}

constexpr uint64_t sat_add(uint64_t a, uint64_t b) {
  uint64_t r = 0;
  if (__builtin_add_overflow(a, b, &r)) return kU64Max;
  return r;
}

constexpr uint64_t sat_sub(uint64_t a, uint64_t b) { return a > b ? a - b : 0; }

constexpr uint64_t sat_mul(uint64_t a, uint64_t b) {
  return saturate_u64(static_cast<unsigned __int128>(a) * b);
}

// |a - b| of two signed values as an unsigned distance; never overflows.
constexpr uint64_t abs_diff(int64_t a, int64_t b) {
  return a >= b ? static_cast<uint64_t>(a) - static_cast<uint64_t>(b)
                : static_cast<uint64_t>(b) - static_cast<uint64_t>(a);
}

// A double converted to int64 by truncation toward zero, saturating at the
// limits; NaN gives 0.
constexpr int64_t saturating_trunc(double v) {
  if (v != v) return 0;
  if (v >= 9223372036854775808.0) return kI64Max;
  if (v < -9223372036854775808.0) return kI64Min;
  return static_cast<int64_t>(v);
}

}  // namespace tessarin

#endif  // TESSARIN_SATURATING_H_
