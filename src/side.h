// The side of an order: Buy rests on the bid side and takes from the asks, Sell
// the reverse.
#ifndef TESSARIN_SIDE_H_
#define TESSARIN_SIDE_H_

#include <cstdint>
#include <string_view>

namespace tessarin {

enum class Side : uint8_t { Buy, Sell };

constexpr Side opposite(Side side) { return side == Side::Buy ? Side::Sell : Side::Buy; }

// "Buy" / "Sell".
constexpr std::string_view side_name(Side side) { return side == Side::Buy ? "Buy" : "Sell"; }

}  // namespace tessarin

#endif  // TESSARIN_SIDE_H_
