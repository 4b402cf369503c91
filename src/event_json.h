// The JSON text form of an Event, the program's own interchange format:
//   {"SubmitLimit":{"side":"Buy","price":10050,"quantity":100,"time_in_force":"GTC"}}
// One key, the variant name, holding the fields in declaration order. Reading is
// strict about names, types and duplicates and lenient about field order.
#ifndef TESSARIN_EVENT_JSON_H_
#define TESSARIN_EVENT_JSON_H_

#include <optional>
#include <string>
#include <string_view>

#include "event.h"

namespace tessarin {

// Compact JSON (no whitespace). Doubles are written in their shortest
// round-trip form with a fractional part (2.0); a non-finite double as null.
std::string event_to_json(const Event& event);

// Exactly one of the two is meaningful: `event` when the text was read, else
// `error` describing the first problem found.
struct EventParse {
  std::optional<Event> event;
  std::string error;
};

// Reads the form written by event_to_json. Fields may come in any order or as
// an array in declaration order; unknown field names are ignored. Malformed
// JSON, a duplicate key, a missing field, an unknown variant or a value of the
// wrong type or range yields an error naming the problem.
EventParse event_from_json(std::string_view text);

}  // namespace tessarin

#endif  // TESSARIN_EVENT_JSON_H_
