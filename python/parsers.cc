#include "parsers.h"

#include <optional>
#include <string>

namespace tessarin::python {
bool equals_ascii_lower(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

Side parse_side(std::string_view text) {
  if (equals_ascii_lower(text, "buy") || equals_ascii_lower(text, "b")) return Side::Buy;
  if (equals_ascii_lower(text, "sell") || equals_ascii_lower(text, "s")) return Side::Sell;
  bind::raise(PyExc_ValueError, "Invalid side '" + std::string(text) + "'. Use 'buy' or 'sell'.");
}

TimeInForce parse_tif(std::string_view text) {
  if (equals_ascii_lower(text, "gtc")) return TimeInForce::GTC;
  if (equals_ascii_lower(text, "ioc")) return TimeInForce::IOC;
  if (equals_ascii_lower(text, "fok")) return TimeInForce::FOK;
  bind::raise(PyExc_ValueError,
              "Invalid time_in_force '" + std::string(text) + "'. Use 'gtc', 'ioc', or 'fok'.");
}

Symbol parse_symbol(std::string_view text) {
  std::optional<Symbol> symbol = Symbol::try_new(text);
  if (!symbol) {
    bind::raise(PyExc_ValueError, "Symbol '" + std::string(text) + "' exceeds 8 bytes. Use a shorter symbol.");
  }
  return *symbol;
}

std::string_view side_text(Side side) { return side == Side::Buy ? "buy" : "sell"; }

std::string_view tif_text(TimeInForce tif) {
  switch (tif) {
    case TimeInForce::GTC:
      return "gtc";
    case TimeInForce::IOC:
      return "ioc";
    case TimeInForce::FOK:
      return "fok";
  }
  return "gtc";
}

}  // namespace tessarin::python
