#include "event.h"

#include <type_traits>

#include "event_schema.h"
#include "format.h"

namespace tessarin {
namespace {

using event_schema::FieldKind;
using event_schema::Schema;

template <class E>
std::string struct_debug(const E& value);

struct TrailDebug {
  std::string operator()(const TrailFixed& t) const {
    return "Fixed(" + std::to_string(t.offset) + ")";
  }
  std::string operator()(const TrailPercentage& t) const {
    return "Percentage(" + format_debug(t.fraction) + ")";
  }
  std::string operator()(const TrailSmaAbsChange& t) const { return struct_debug(t); }
};

template <class T>
std::string value_debug(const T& value, FieldKind kind) {
  if constexpr (std::is_same_v<T, double>) {
    return format_debug(value);
  } else if constexpr (std::is_same_v<T, Side>) {
    return std::string(side_name(value));
  } else if constexpr (std::is_same_v<T, TimeInForce>) {
    return std::string(tif_name(value));
  } else if constexpr (std::is_same_v<T, TrailMethod>) {
    return trail_debug_text(value);
  } else if constexpr (std::is_same_v<T, Price>) {
    return price_debug(value);
  } else {
    static_assert(std::is_same_v<T, uint64_t>);
    return kind == FieldKind::OrderId ? order_id_debug(value) : std::to_string(value);
  }
}

// Name { field: value, ... } with the fields in declaration order.
template <class E>
std::string struct_debug(const E& value) {
  std::string out(Schema<E>::kName);
  out += " { ";
  bool first = true;
  event_schema::for_each_field<E>([&](const auto& f) {
    if (!first) out += ", ";
    first = false;
    out.append(f.name);
    out += ": ";
    out += value_debug(value.*f.member, f.kind);
  });
  out += " }";
  return out;
}

}  // namespace

std::string_view event_kind(const Event& event) {
  return std::visit([](const auto& e) { return Schema<std::decay_t<decltype(e)>>::kKind; }, event);
}

std::string_view event_variant_name(const Event& event) {
  return std::visit([](const auto& e) { return Schema<std::decay_t<decltype(e)>>::kName; }, event);
}

std::string event_debug_text(const Event& event) {
  return std::visit([](const auto& e) { return struct_debug(e); }, event);
}

std::string trail_debug_text(const TrailMethod& trail) { return std::visit(TrailDebug{}, trail); }

}  // namespace tessarin
