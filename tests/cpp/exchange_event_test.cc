// The event form: kind and debug texts, the JSON writer, and the JSON reader's
// acceptance rules and error messages.
#include "event.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "event_json.h"
#include "saturating.h"

namespace tessarin {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---- writing: one row per variant ---------------------------------------------

struct FormCase {
  std::string name;
  Event event;
  std::string kind;
  std::string json;
  std::string debug;
};

void PrintTo(const FormCase& c, std::ostream* os) { *os << c.name; }

class EventFormTest : public testing::TestWithParam<FormCase> {};

TEST_P(EventFormTest, WritesKindDebugAndJson) {
  const FormCase& c = GetParam();
  EXPECT_EQ(event_kind(c.event), c.kind);
  EXPECT_EQ(event_debug_text(c.event), c.debug);
  EXPECT_EQ(event_to_json(c.event), c.json);
}

TEST_P(EventFormTest, ReadsBackWhatItWrote) {
  const FormCase& c = GetParam();
  const EventParse parsed = event_from_json(c.json);
  ASSERT_TRUE(parsed.event.has_value()) << parsed.error;
  EXPECT_EQ(*parsed.event, c.event);
  EXPECT_EQ(event_debug_text(*parsed.event), c.debug);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, EventFormTest,
    testing::Values(
        FormCase{"SubmitLimit", SubmitLimitEvent{Side::Buy, 10050, 100, TimeInForce::GTC}, "submit_limit",
                 R"({"SubmitLimit":{"side":"Buy","price":10050,"quantity":100,"time_in_force":"GTC"}})",
                 "SubmitLimit { side: Buy, price: Price(10050), quantity: 100, time_in_force: GTC }"},
        FormCase{"SubmitMarket", SubmitMarketEvent{Side::Sell, 5}, "submit_market",
                 R"({"SubmitMarket":{"side":"Sell","quantity":5}})", "SubmitMarket { side: Sell, quantity: 5 }"},
        FormCase{"Cancel", CancelEvent{7}, "cancel", R"({"Cancel":{"order_id":7}})",
                 "Cancel { order_id: OrderId(7) }"},
        FormCase{"ModifyExtremes", ModifyEvent{kU64Max, -250, kU64Max}, "modify",
                 R"({"Modify":{"order_id":18446744073709551615,"new_price":-250,"new_quantity":18446744073709551615}})",
                 "Modify { order_id: OrderId(18446744073709551615), new_price: Price(-250), "
                 "new_quantity: 18446744073709551615 }"},
        FormCase{"SubmitStopMarketMinPrice", SubmitStopMarketEvent{Side::Sell, kMinPrice, 3}, "submit_stop_market",
                 R"({"SubmitStopMarket":{"side":"Sell","stop_price":-9223372036854775808,"quantity":3}})",
                 "SubmitStopMarket { side: Sell, stop_price: Price(-9223372036854775808), quantity: 3 }"},
        FormCase{"SubmitStopLimit", SubmitStopLimitEvent{Side::Buy, 101, kMaxPrice, 4, TimeInForce::FOK},
                 "submit_stop_limit",
                 R"({"SubmitStopLimit":{"side":"Buy","stop_price":101,"limit_price":9223372036854775807,"quantity":4,"time_in_force":"FOK"}})",
                 "SubmitStopLimit { side: Buy, stop_price: Price(101), limit_price: Price(9223372036854775807), "
                 "quantity: 4, time_in_force: FOK }"},
        FormCase{"TrailingFixed", SubmitTrailingStopMarketEvent{Side::Sell, 9800, 10, TrailFixed{-100}},
                 "submit_trailing_stop_market",
                 R"({"SubmitTrailingStopMarket":{"side":"Sell","stop_price":9800,"quantity":10,"trail_method":{"Fixed":-100}}})",
                 "SubmitTrailingStopMarket { side: Sell, stop_price: Price(9800), quantity: 10, "
                 "trail_method: Fixed(-100) }"},
        FormCase{"TrailingPercentage", SubmitTrailingStopMarketEvent{Side::Buy, 1, 2, TrailPercentage{0.05}},
                 "submit_trailing_stop_market",
                 R"({"SubmitTrailingStopMarket":{"side":"Buy","stop_price":1,"quantity":2,"trail_method":{"Percentage":0.05}}})",
                 "SubmitTrailingStopMarket { side: Buy, stop_price: Price(1), quantity: 2, "
                 "trail_method: Percentage(0.05) }"},
        // Whole doubles keep a fractional part; tiny ones are written without exponent.
        FormCase{"TrailingSma",
                 SubmitTrailingStopLimitEvent{Side::Buy, 10200, 10250, 10, TimeInForce::IOC,
                                              TrailSmaAbsChange{2.0, 14}},
                 "submit_trailing_stop_limit",
                 R"({"SubmitTrailingStopLimit":{"side":"Buy","stop_price":10200,"limit_price":10250,"quantity":10,"time_in_force":"IOC","trail_method":{"SmaAbsChange":{"multiplier":2.0,"period":14}}}})",
                 "SubmitTrailingStopLimit { side: Buy, stop_price: Price(10200), limit_price: Price(10250), "
                 "quantity: 10, time_in_force: IOC, trail_method: SmaAbsChange { multiplier: 2.0, period: 14 } }"},
        FormCase{"TrailingTinyDouble", SubmitTrailingStopMarketEvent{Side::Sell, 0, 1, TrailPercentage{1e-7}},
                 "submit_trailing_stop_market",
                 R"({"SubmitTrailingStopMarket":{"side":"Sell","stop_price":0,"quantity":1,"trail_method":{"Percentage":0.0000001}}})",
                 "SubmitTrailingStopMarket { side: Sell, stop_price: Price(0), quantity: 1, "
                 "trail_method: Percentage(0.0000001) }"}),
    [](const testing::TestParamInfo<FormCase>& info) { return info.param.name; });

TEST(EventJsonTest, NonFiniteDoubleIsWrittenAsNullAndNotReadBack) {
  const Event event = SubmitTrailingStopMarketEvent{Side::Sell, 0, 1, TrailPercentage{kNaN}};
  const std::string text = event_to_json(event);
  EXPECT_EQ(text, R"({"SubmitTrailingStopMarket":{"side":"Sell","stop_price":0,"quantity":1,"trail_method":{"Percentage":null}}})");
  EXPECT_EQ(event_debug_text(event),
            "SubmitTrailingStopMarket { side: Sell, stop_price: Price(0), quantity: 1, trail_method: Percentage(NaN) }");
  const EventParse parsed = event_from_json(text);
  EXPECT_FALSE(parsed.event.has_value());
  EXPECT_EQ(parsed.error, "invalid type: null, expected a number in field `Percentage`");
}

// Every finite double, subnormals included, reads back bit for bit.
TEST(EventJsonTest, DoublesRoundTripExactly) {
  const uint64_t seed = 20240611;
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937_64 rng(seed);
  int checked = 0;
  while (checked < 2000) {
    const double value = std::bit_cast<double>(rng());
    if (!std::isfinite(value)) continue;
    ++checked;
    const Event event = SubmitTrailingStopLimitEvent{Side::Sell, 1, 2, 3, TimeInForce::GTC,
                                                     TrailSmaAbsChange{value, rng()}};
    const std::string text = event_to_json(event);
    const EventParse parsed = event_from_json(text);
    ASSERT_TRUE(parsed.event.has_value()) << text << ": " << parsed.error;
    ASSERT_EQ(*parsed.event, event) << text;
  }
}

// ---- reading: accepted forms ----------------------------------------------------

struct AcceptCase {
  std::string name;
  std::string json;
  Event expected;
};

void PrintTo(const AcceptCase& c, std::ostream* os) { *os << c.name; }

class EventJsonAcceptTest : public testing::TestWithParam<AcceptCase> {};

TEST_P(EventJsonAcceptTest, Reads) {
  const EventParse parsed = event_from_json(GetParam().json);
  ASSERT_TRUE(parsed.event.has_value()) << parsed.error;
  EXPECT_EQ(*parsed.event, GetParam().expected);
  EXPECT_TRUE(parsed.error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Forms, EventJsonAcceptTest,
    testing::Values(
        AcceptCase{"FieldsInAnyOrder",
                   R"({"SubmitLimit":{"time_in_force":"IOC","quantity":3,"price":-5,"side":"Sell"}})",
                   SubmitLimitEvent{Side::Sell, -5, 3, TimeInForce::IOC}},
        AcceptCase{"ArrayInDeclarationOrder", R"({"SubmitLimit":["Buy",10050,100,"GTC"]})",
                   SubmitLimitEvent{Side::Buy, 10050, 100, TimeInForce::GTC}},
        AcceptCase{"UnknownFieldsIgnored", R"({"Cancel":{"note":{"deep":[1,2]},"order_id":7,"x":null}})",
                   CancelEvent{7}},
        AcceptCase{"Whitespace", " {\n \"Cancel\" : { \"order_id\" : 7 } }\t", CancelEvent{7}},
        AcceptCase{"IntegerForDouble",
                   R"({"SubmitTrailingStopMarket":{"side":"Buy","stop_price":1,"quantity":2,"trail_method":{"Percentage":1}}})",
                   SubmitTrailingStopMarketEvent{Side::Buy, 1, 2, TrailPercentage{1.0}}},
        AcceptCase{"ExponentForDouble",
                   R"({"SubmitTrailingStopMarket":{"side":"Buy","stop_price":1,"quantity":2,"trail_method":{"Percentage":5e-2}}})",
                   SubmitTrailingStopMarketEvent{Side::Buy, 1, 2, TrailPercentage{0.05}}},
        AcceptCase{"NestedArrayForSma",
                   R"({"SubmitTrailingStopMarket":["Sell",9,1,{"SmaAbsChange":[2.5,3]}]})",
                   SubmitTrailingStopMarketEvent{Side::Sell, 9, 1, TrailSmaAbsChange{2.5, 3}}},
        AcceptCase{"PriceLimits", R"({"Modify":{"order_id":0,"new_price":-9223372036854775808,"new_quantity":0}})",
                   ModifyEvent{0, kMinPrice, 0}},
        // Same key names in different objects are not duplicates.
        AcceptCase{"SameKeyInSiblingObjects", R"({"Cancel":{"a":{"k":1},"b":{"k":2},"order_id":1}})",
                   CancelEvent{1}}),
    [](const testing::TestParamInfo<AcceptCase>& info) { return info.param.name; });

// ---- reading: refused texts -----------------------------------------------------

struct RejectCase {
  std::string name;
  std::string json;
  std::string error;    // the exact message, or
  bool prefix_only;     // only its start (the JSON parser's own wording)
};

void PrintTo(const RejectCase& c, std::ostream* os) { *os << c.name; }

class EventJsonRejectTest : public testing::TestWithParam<RejectCase> {};

TEST_P(EventJsonRejectTest, NamesTheProblem) {
  const RejectCase& c = GetParam();
  const EventParse parsed = event_from_json(c.json);
  ASSERT_FALSE(parsed.event.has_value());
  if (c.prefix_only) {
    EXPECT_EQ(parsed.error.substr(0, c.error.size()), c.error) << parsed.error;
  } else {
    EXPECT_EQ(parsed.error, c.error);
  }
}

const char kVariants[] =
    "`SubmitLimit`, `SubmitMarket`, `Cancel`, `Modify`, `SubmitStopMarket`, `SubmitStopLimit`, "
    "`SubmitTrailingStopMarket`, `SubmitTrailingStopLimit`";

std::string trailing(const std::string& trail) {
  return R"({"SubmitTrailingStopMarket":{"side":"Buy","stop_price":1,"quantity":2,"trail_method":)" + trail + "}}";
}

INSTANTIATE_TEST_SUITE_P(
    Errors, EventJsonRejectTest,
    testing::Values(
        RejectCase{"LowercaseSide", R"({"SubmitLimit":{"side":"buy","price":1,"quantity":1,"time_in_force":"GTC"}})",
                   "unknown variant `buy`, expected one of `Buy`, `Sell` in field `side`", false},
        RejectCase{"LowercaseTif", R"({"SubmitLimit":{"side":"Buy","price":1,"quantity":1,"time_in_force":"gtc"}})",
                   "unknown variant `gtc`, expected one of `GTC`, `IOC`, `FOK` in field `time_in_force`", false},
        RejectCase{"SideNotAString", R"({"SubmitMarket":{"side":1,"quantity":1}})",
                   "invalid type: integer `1`, expected one of `Buy`, `Sell` in field `side`", false},
        RejectCase{"MissingField", R"({"SubmitLimit":{"side":"Buy","price":1,"time_in_force":"GTC"}})",
                   "missing field `quantity`", false},
        RejectCase{"UnknownVariant", R"({"Foo":{}})", std::string("unknown variant `Foo`, expected one of ") + kVariants,
                   false},
        RejectCase{"VariantNamesAreCaseSensitive", R"({"cancel":{"order_id":1}})",
                   std::string("unknown variant `cancel`, expected one of ") + kVariants, false},
        RejectCase{"DuplicateField", R"({"SubmitMarket":{"side":"Buy","quantity":1,"side":"Sell"}})",
                   "duplicate field `side`", false},
        RejectCase{"DuplicateNestedField", trailing(R"({"SmaAbsChange":{"multiplier":1.0,"period":2,"period":3}})"),
                   "duplicate field `period`", false},
        RejectCase{"DuplicateVariant", R"({"Cancel":{"order_id":1},"Cancel":{"order_id":2}})",
                   "duplicate field `Cancel`", false},
        RejectCase{"FloatForUnsigned", R"({"SubmitMarket":{"side":"Buy","quantity":1.5}})",
                   "invalid type: floating point `1.5`, expected an unsigned 64-bit integer in field `quantity`", false},
        RejectCase{"WholeFloatForUnsigned", R"({"Cancel":{"order_id":1.0}})",
                   "invalid type: floating point `1.0`, expected an unsigned 64-bit integer in field `order_id`", false},
        RejectCase{"NegativeForUnsigned", R"({"SubmitMarket":{"side":"Buy","quantity":-1}})",
                   "invalid value: integer `-1`, expected an unsigned 64-bit integer in field `quantity`", false},
        RejectCase{"UnsignedOverflow", R"({"Cancel":{"order_id":18446744073709551616}})",
                   "invalid type: floating point `18446744073709552000.0`, expected an unsigned 64-bit integer in "
                   "field `order_id`",
                   false},
        RejectCase{"SignedOverflow",
                   R"({"SubmitLimit":{"side":"Buy","price":9223372036854775808,"quantity":1,"time_in_force":"GTC"}})",
                   "invalid value: integer `9223372036854775808`, expected a signed 64-bit integer in field `price`",
                   false},
        RejectCase{"StringForPrice", R"({"SubmitLimit":{"side":"Buy","price":"1","quantity":1,"time_in_force":"GTC"}})",
                   "invalid type: string \"1\", expected a signed 64-bit integer in field `price`", false},
        RejectCase{"BooleanForId", R"({"Cancel":{"order_id":true}})",
                   "invalid type: boolean `true`, expected an unsigned 64-bit integer in field `order_id`", false},
        RejectCase{"NullForDouble", trailing(R"({"Percentage":null})"),
                   "invalid type: null, expected a number in field `Percentage`", false},
        RejectCase{"FloatPeriod", trailing(R"({"SmaAbsChange":{"multiplier":1.0,"period":1.5}})"),
                   "invalid type: floating point `1.5`, expected an unsigned 64-bit integer in field `period`", false},
        RejectCase{"MissingSmaField", trailing(R"({"SmaAbsChange":{"period":3}})"), "missing field `multiplier`",
                   false},
        RejectCase{"UnknownTrail", trailing(R"({"Linear":1})"),
                   "unknown variant `Linear`, expected one of `Fixed`, `Percentage`, `SmaAbsChange`", false},
        RejectCase{"TrailNotAnObject", trailing(R"("Fixed")"),
                   "invalid type: string \"Fixed\", expected an object with one key naming the trail method in field "
                   "`trail_method`",
                   false},
        RejectCase{"TrailWithTwoKeys", trailing(R"({"Fixed":1,"Percentage":0.5})"),
                   "invalid type: object, expected an object with one key naming the trail method in field "
                   "`trail_method`",
                   false},
        RejectCase{"ShortArray", R"({"Cancel":[]})", "invalid length 0, expected struct `Cancel` with 1 field", false},
        RejectCase{"LongArray", R"({"SubmitMarket":["Buy",1,2]})",
                   "invalid length 3, expected struct `SubmitMarket` with 2 fields", false},
        RejectCase{"ScalarBody", R"({"Cancel":7})", "invalid type: integer `7`, expected struct `Cancel`", false},
        RejectCase{"TopLevelArray", "[1]",
                   "invalid type: array, expected an object with one key naming the event variant", false},
        RejectCase{"TopLevelNull", "null",
                   "invalid type: null, expected an object with one key naming the event variant", false},
        RejectCase{"EmptyObject", "{}",
                   "invalid type: object with 0 keys, expected an object with one key naming the event variant", false},
        RejectCase{"TwoVariants", R"({"Cancel":{"order_id":1},"Modify":[1,2,3]})",
                   "invalid type: object with 2 keys, expected an object with one key naming the event variant", false},
        RejectCase{"Truncated", R"({"Cancel":)", "parse error", true},
        RejectCase{"TrailingText", R"({"Cancel":{"order_id":1}} x)", "parse error", true},
        RejectCase{"EmptyText", "", "parse error", true},
        RejectCase{"Comment", R"({"Cancel":{"order_id":1 /* one */}})", "parse error", true}),
    [](const testing::TestParamInfo<RejectCase>& info) { return info.param.name; });

}  // namespace
}  // namespace tessarin
