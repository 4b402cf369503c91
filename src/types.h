// Identifier and price value types of the matching engine: prices in integer
// cents, order/trade ids and logical timestamps, and the inline instrument Symbol.
// All are plain values that own no heap memory and are copied freely.
#ifndef TESSARIN_TYPES_H_
#define TESSARIN_TYPES_H_

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace tessarin {

// Signed count of cents (10050 is 100.50). The extremes are meaningful: a market
// buy is matched as a limit buy at kMaxPrice and a market sell at kMinPrice, so
// every resting price crosses them.
using Price = int64_t;
inline constexpr Price kMaxPrice = std::numeric_limits<Price>::max();
inline constexpr Price kMinPrice = std::numeric_limits<Price>::min();

// Order number drawn from the book's order counter, dense from 1.
using OrderId = uint64_t;
// A queue entry holding this id is a cancelled order (tombstone); never issued.
inline constexpr OrderId kTombstoneId = 0;

using TradeId = uint64_t;
// Logical-clock value of the book; not wall-clock time.
using Timestamp = uint64_t;
// Order and trade quantities; arithmetic on them saturates (saturating.h).
using Quantity = uint64_t;

// "O42": how messages name an order.
std::string order_id_text(OrderId id);
// "OrderId(42)".
std::string order_id_debug(OrderId id);
// "Price(10050)".
std::string price_debug(Price price);

// An instrument code of at most 8 bytes, stored inline and zero padded. The bytes
// are kept as given (UTF-8, case preserved); the empty symbol is valid.
class Symbol {
 public:
  static constexpr size_t kCapacity = 8;

  // The empty symbol.
  constexpr Symbol() = default;

  // A symbol holding `text`, or nothing when it is longer than kCapacity bytes.
  static std::optional<Symbol> try_new(std::string_view text);
  // REQUIRES: text.size() <= kCapacity (otherwise an invariant failure).
  static Symbol from_text(std::string_view text);

  std::string_view text() const { return {bytes_.data(), length_}; }
  size_t size() const { return length_; }

  // Equal when lengths and bytes are equal.
  friend bool operator==(const Symbol&, const Symbol&) = default;
  // The zero-padded arrays byte by byte (unsigned, first byte most significant),
  // then the lengths: plain byte-wise text order for symbols without zero bytes.
  friend std::strong_ordering operator<=>(const Symbol& a, const Symbol& b);

  // A hash of the padded bytes and length; same value on every run.
  size_t hash() const;

 private:
  std::array<char, kCapacity> bytes_{};
  uint8_t length_ = 0;
};

// `Symbol("AAPL")`.
std::string symbol_debug(const Symbol& symbol);

}  // namespace tessarin

template <>
struct std::hash<tessarin::Symbol> {
  size_t operator()(const tessarin::Symbol& symbol) const noexcept { return symbol.hash(); }
};

#endif  // TESSARIN_TYPES_H_
