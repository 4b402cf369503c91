#include "types.h"

#include <cstring>

#include "invariant.h"

namespace tessarin {

namespace {

// Appends rather than `prefix + std::to_string(...)`, which trips a false
// -Wrestrict in GCC 12's inlined string concatenation.
template <typename Integer>
std::string wrap(const char* prefix, Integer value, const char* suffix) {
  std::string out = prefix;
  out += std::to_string(value);
  out += suffix;
  return out;
}

}  // namespace

std::string order_id_text(OrderId id) { return wrap("O", id, ""); }

std::string order_id_debug(OrderId id) { return wrap("OrderId(", id, ")"); }

std::string price_debug(Price price) { return wrap("Price(", price, ")"); }

std::optional<Symbol> Symbol::try_new(std::string_view text) {
  if (text.size() > kCapacity) return std::nullopt;
  Symbol symbol;
  std::memcpy(symbol.bytes_.data(), text.data(), text.size());
  symbol.length_ = static_cast<uint8_t>(text.size());
  return symbol;
}

Symbol Symbol::from_text(std::string_view text) {
  std::optional<Symbol> symbol = try_new(text);
  if (!symbol) invariant_failure("Symbol must be at most 8 bytes");
  return *symbol;
}

std::strong_ordering operator<=>(const Symbol& a, const Symbol& b) {
  // memcmp compares as unsigned char, which is the byte order required here.
  const int bytes = std::memcmp(a.bytes_.data(), b.bytes_.data(), Symbol::kCapacity);
  if (bytes != 0) return bytes < 0 ? std::strong_ordering::less : std::strong_ordering::greater;
  return a.length_ <=> b.length_;
}

size_t Symbol::hash() const {
  uint64_t word = 0;
  std::memcpy(&word, bytes_.data(), kCapacity);
  // Fibonacci multiplier spreads the bytes into the high bits, which the identity
  // std::hash<uint64_t> of libstdc++ would not do.
  constexpr uint64_t kMix = 0x9E3779B97F4A7C15ull;
  return static_cast<size_t>((word ^ length_) * kMix);
}

std::string symbol_debug(const Symbol& symbol) {
  std::string out = "Symbol(\"";
  out.append(symbol.text());
  out += "\")";
  return out;
}

}  // namespace tessarin
