// Event: one recorded request of an Exchange, holding exactly the request's
// inputs. The event log is the ordered list of these; applying it to a fresh
// exchange rebuilds the same state. Events are plain values.
#ifndef TESSARIN_EVENT_H_
#define TESSARIN_EVENT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "side.h"
#include "stop.h"
#include "tif.h"
#include "types.h"

namespace tessarin {

// Fields are in declaration order of the event form (debug text, JSON arrays).
struct SubmitLimitEvent {
  Side side = Side::Buy;
  Price price = 0;
  uint64_t quantity = 0;
  TimeInForce time_in_force = TimeInForce::GTC;
  friend bool operator==(const SubmitLimitEvent&, const SubmitLimitEvent&) = default;
};

struct SubmitMarketEvent {
  Side side = Side::Buy;
  uint64_t quantity = 0;
  friend bool operator==(const SubmitMarketEvent&, const SubmitMarketEvent&) = default;
};

struct CancelEvent {
  OrderId order_id = 0;
  friend bool operator==(const CancelEvent&, const CancelEvent&) = default;
};

struct ModifyEvent {
  OrderId order_id = 0;
  Price new_price = 0;
  uint64_t new_quantity = 0;
  friend bool operator==(const ModifyEvent&, const ModifyEvent&) = default;
};

struct SubmitStopMarketEvent {
  Side side = Side::Buy;
  Price stop_price = 0;
  uint64_t quantity = 0;
  friend bool operator==(const SubmitStopMarketEvent&, const SubmitStopMarketEvent&) = default;
};

struct SubmitStopLimitEvent {
  Side side = Side::Buy;
  Price stop_price = 0;
  Price limit_price = 0;
  uint64_t quantity = 0;
  TimeInForce time_in_force = TimeInForce::GTC;
  friend bool operator==(const SubmitStopLimitEvent&, const SubmitStopLimitEvent&) = default;
};

// stop_price of the trailing events is the initial stop price.
struct SubmitTrailingStopMarketEvent {
  Side side = Side::Buy;
  Price stop_price = 0;
  uint64_t quantity = 0;
  TrailMethod trail_method;
  friend bool operator==(const SubmitTrailingStopMarketEvent&,
                         const SubmitTrailingStopMarketEvent&) = default;
};

struct SubmitTrailingStopLimitEvent {
  Side side = Side::Buy;
  Price stop_price = 0;
  Price limit_price = 0;
  uint64_t quantity = 0;
  TimeInForce time_in_force = TimeInForce::GTC;
  TrailMethod trail_method;
  friend bool operator==(const SubmitTrailingStopLimitEvent&,
                         const SubmitTrailingStopLimitEvent&) = default;
};

using Event = std::variant<SubmitLimitEvent, SubmitMarketEvent, CancelEvent, ModifyEvent,
                           SubmitStopMarketEvent, SubmitStopLimitEvent,
                           SubmitTrailingStopMarketEvent, SubmitTrailingStopLimitEvent>;

// "submit_limit", "submit_market", "cancel", "modify", "submit_stop_market", ...
std::string_view event_kind(const Event& event);

// The variant name: "SubmitLimit", "Cancel", ...
std::string_view event_variant_name(const Event& event);

// SubmitLimit { side: Buy, price: Price(10050), quantity: 100, time_in_force: GTC }
std::string event_debug_text(const Event& event);

// Fixed(100), Percentage(0.05), SmaAbsChange { multiplier: 2.0, period: 14 }
std::string trail_debug_text(const TrailMethod& trail);

}  // namespace tessarin

#endif  // TESSARIN_EVENT_H_
