// Time in force: what happens to the part of an order that does not trade at once.
// GTC rests it, IOC cancels it, FOK refuses the whole order unless it fills fully.
#ifndef TESSARIN_TIF_H_
#define TESSARIN_TIF_H_

#include <cstdint>
#include <string_view>

namespace tessarin {

enum class TimeInForce : uint8_t { GTC, IOC, FOK };

// "GTC" / "IOC" / "FOK".
constexpr std::string_view tif_name(TimeInForce tif) {
  switch (tif) {
    case TimeInForce::GTC: return "GTC";
    case TimeInForce::IOC: return "IOC";
    case TimeInForce::FOK: return "FOK";
  }
  return "GTC";  // unreachable: every enumerator is handled above
}

}  // namespace tessarin

#endif  // TESSARIN_TIF_H_
