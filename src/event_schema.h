// The field schema of the Event variants: for each variant its name, its kind
// text and its fields (name, member, how the value is rendered) in declaration
// order. The debug text and the JSON form are both written from this one table,
// so the two cannot disagree about names or order.
#ifndef TESSARIN_EVENT_SCHEMA_H_
#define TESSARIN_EVENT_SCHEMA_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <tuple>
#include <utility>
#include <variant>

#include "event.h"

namespace tessarin::event_schema {

// Which rendering a field uses; order ids and quantities are both unsigned
// 64-bit but print differently.
enum class FieldKind : uint8_t { Side, Price, OrderId, Quantity, TimeInForce, Trail, Number };

template <class E, class T>
struct Field {
  using Value = T;
  std::string_view name;
  T E::*member;
  FieldKind kind;
};

template <class E, class T>
constexpr Field<E, T> field(std::string_view name, T E::*member, FieldKind kind) {
  return {name, member, kind};
}

template <class E>
struct Schema;

template <>
struct Schema<SubmitLimitEvent> {
  using E = SubmitLimitEvent;
  static constexpr std::string_view kName = "SubmitLimit";
  static constexpr std::string_view kKind = "submit_limit";
  static constexpr auto kFields = std::tuple{
      field("side", &E::side, FieldKind::Side), field("price", &E::price, FieldKind::Price),
      field("quantity", &E::quantity, FieldKind::Quantity),
      field("time_in_force", &E::time_in_force, FieldKind::TimeInForce)};
};

template <>
struct Schema<SubmitMarketEvent> {
  using E = SubmitMarketEvent;
  static constexpr std::string_view kName = "SubmitMarket";
  static constexpr std::string_view kKind = "submit_market";
  static constexpr auto kFields = std::tuple{field("side", &E::side, FieldKind::Side),
                                             field("quantity", &E::quantity, FieldKind::Quantity)};
};

template <>
struct Schema<CancelEvent> {
  using E = CancelEvent;
  static constexpr std::string_view kName = "Cancel";
  static constexpr std::string_view kKind = "cancel";
  static constexpr auto kFields = std::tuple{field("order_id", &E::order_id, FieldKind::OrderId)};
};

template <>
struct Schema<ModifyEvent> {
  using E = ModifyEvent;
  static constexpr std::string_view kName = "Modify";
  static constexpr std::string_view kKind = "modify";
  static constexpr auto kFields =
      std::tuple{field("order_id", &E::order_id, FieldKind::OrderId),
                 field("new_price", &E::new_price, FieldKind::Price),
                 field("new_quantity", &E::new_quantity, FieldKind::Quantity)};
};

template <>
struct Schema<SubmitStopMarketEvent> {
  using E = SubmitStopMarketEvent;
  static constexpr std::string_view kName = "SubmitStopMarket";
  static constexpr std::string_view kKind = "submit_stop_market";
  static constexpr auto kFields = std::tuple{
      field("side", &E::side, FieldKind::Side), field("stop_price", &E::stop_price, FieldKind::Price),
      field("quantity", &E::quantity, FieldKind::Quantity)};
};

template <>
struct Schema<SubmitStopLimitEvent> {
  using E = SubmitStopLimitEvent;
  static constexpr std::string_view kName = "SubmitStopLimit";
  static constexpr std::string_view kKind = "submit_stop_limit";
  static constexpr auto kFields = std::tuple{
      field("side", &E::side, FieldKind::Side), field("stop_price", &E::stop_price, FieldKind::Price),
      field("limit_price", &E::limit_price, FieldKind::Price),
      field("quantity", &E::quantity, FieldKind::Quantity),
      field("time_in_force", &E::time_in_force, FieldKind::TimeInForce)};
};

template <>
struct Schema<SubmitTrailingStopMarketEvent> {
  using E = SubmitTrailingStopMarketEvent;
  static constexpr std::string_view kName = "SubmitTrailingStopMarket";
  static constexpr std::string_view kKind = "submit_trailing_stop_market";
  static constexpr auto kFields = std::tuple{
      field("side", &E::side, FieldKind::Side), field("stop_price", &E::stop_price, FieldKind::Price),
      field("quantity", &E::quantity, FieldKind::Quantity),
      field("trail_method", &E::trail_method, FieldKind::Trail)};
};

template <>
struct Schema<SubmitTrailingStopLimitEvent> {
  using E = SubmitTrailingStopLimitEvent;
  static constexpr std::string_view kName = "SubmitTrailingStopLimit";
  static constexpr std::string_view kKind = "submit_trailing_stop_limit";
  static constexpr auto kFields = std::tuple{
      field("side", &E::side, FieldKind::Side), field("stop_price", &E::stop_price, FieldKind::Price),
      field("limit_price", &E::limit_price, FieldKind::Price),
      field("quantity", &E::quantity, FieldKind::Quantity),
      field("time_in_force", &E::time_in_force, FieldKind::TimeInForce),
      field("trail_method", &E::trail_method, FieldKind::Trail)};
};

// The one trail rule with named fields renders like an event variant.
template <>
struct Schema<TrailSmaAbsChange> {
  using E = TrailSmaAbsChange;
  static constexpr std::string_view kName = "SmaAbsChange";
  static constexpr auto kFields = std::tuple{field("multiplier", &E::multiplier, FieldKind::Number),
                                             field("period", &E::period, FieldKind::Quantity)};
};

// Calls fn(field_descriptor) for every field of E, in declaration order.
template <class E, class Fn>
constexpr void for_each_field(Fn&& fn) {
  std::apply([&](const auto&... f) { (fn(f), ...); }, Schema<E>::kFields);
}

template <class E>
constexpr size_t field_count() {
  return std::tuple_size_v<decltype(Schema<E>::kFields)>;
}

// Calls fn(std::type_identity<Alternative>{}) for every alternative of Event.
template <class Fn>
constexpr void for_each_alternative(Fn&& fn) {
  [&]<size_t... I>(std::index_sequence<I...>) {
    (fn(std::type_identity<std::variant_alternative_t<I, Event>>{}), ...);
  }(std::make_index_sequence<std::variant_size_v<Event>>{});
}

}  // namespace tessarin::event_schema

#endif  // TESSARIN_EVENT_SCHEMA_H_
