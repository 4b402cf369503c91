#include "types.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "invariant.h"
#include "order.h"
#include "side.h"
#include "tif.h"

namespace tessarin {
namespace {

struct SymbolLengthCase {
  std::string text;
  bool accepted;
};

class SymbolLengthTest : public testing::TestWithParam<SymbolLengthCase> {};

TEST_P(SymbolLengthTest, TryNewAcceptsAtMostEightBytes) {
  const SymbolLengthCase& c = GetParam();
  std::optional<Symbol> symbol = Symbol::try_new(c.text);
  ASSERT_EQ(symbol.has_value(), c.accepted);
  if (c.accepted) {
    EXPECT_EQ(symbol->text(), c.text);
    EXPECT_EQ(symbol->size(), c.text.size());
    EXPECT_EQ(Symbol::from_text(c.text), *symbol);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, SymbolLengthTest,
    testing::Values(SymbolLengthCase{"", true}, SymbolLengthCase{"A", true},
                    SymbolLengthCase{"ABCDEFGH", true}, SymbolLengthCase{"ABCDEFGHI", false},
                    // Bytes are counted, not characters: 4 two-byte letters fit, 5 do not.
                    SymbolLengthCase{"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", true},
                    SymbolLengthCase{"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", false},
                    SymbolLengthCase{std::string("A\0B", 3), true}));

TEST(SymbolTest, FromTextStopsOnLongText) {
  try {
    Symbol::from_text("TOOLONGSYM");
    FAIL() << "expected an invariant failure";
  } catch (const InvariantFailure& failure) {
    EXPECT_STREQ(failure.what(), "Symbol must be at most 8 bytes");
  }
}

TEST(SymbolTest, SortsByteWiseWithPrefixesFirst) {
  std::vector<Symbol> symbols;
  for (const char* text : {"B", "AB", "A", "ABC"}) symbols.push_back(Symbol::from_text(text));
  std::sort(symbols.begin(), symbols.end());
  std::vector<std::string_view> texts;
  for (const Symbol& symbol : symbols) texts.push_back(symbol.text());
  EXPECT_EQ(texts, (std::vector<std::string_view>{"A", "AB", "ABC", "B"}));
}

struct SymbolOrderCase {
  std::string lower;
  std::string higher;
};

class SymbolOrderTest : public testing::TestWithParam<SymbolOrderCase> {};

TEST_P(SymbolOrderTest, StrictlyOrderedAndDistinct) {
  const Symbol lower = Symbol::from_text(GetParam().lower);
  const Symbol higher = Symbol::from_text(GetParam().higher);
  EXPECT_LT(lower, higher);
  EXPECT_GT(higher, lower);
  EXPECT_NE(lower, higher);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, SymbolOrderTest,
    testing::Values(SymbolOrderCase{"", "A"}, SymbolOrderCase{"AAPL", "AAPM"},
                    // Upper case sorts before lower case; nothing is case folded.
                    SymbolOrderCase{"AAPL", "aapl"},
                    // Bytes compare unsigned: a UTF-8 lead byte is above ASCII.
                    SymbolOrderCase{"Z", "\xC3\xA9"},
                    // Padded arrays tie, then the shorter symbol comes first.
                    SymbolOrderCase{"A", std::string("A\0", 2)},
                    SymbolOrderCase{"ABCDEFG", "ABCDEFGH"}));

TEST(SymbolTest, HashSeparatesSymbolsThatDifferOnlyInLength) {
  std::unordered_set<Symbol> set;
  set.insert(Symbol::from_text("A"));
  set.insert(Symbol::from_text(std::string("A\0", 2)));
  set.insert(Symbol::from_text("A"));
  EXPECT_EQ(set.size(), 2u);
  EXPECT_EQ(std::hash<Symbol>{}(Symbol::from_text("MSFT")),
            std::hash<Symbol>{}(*Symbol::try_new("MSFT")));
}

struct TextCase {
  std::string actual;
  std::string expected;
};

class DisplayTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(DisplayTextTest, MatchesTheSystemText) { EXPECT_EQ(GetParam().actual, GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Texts, DisplayTextTest,
    testing::Values(TextCase{order_id_text(42), "O42"},
                    TextCase{order_id_debug(42), "OrderId(42)"},
                    TextCase{order_id_debug(UINT64_MAX), "OrderId(18446744073709551615)"},
                    TextCase{price_debug(10050), "Price(10050)"},
                    TextCase{price_debug(kMinPrice), "Price(-9223372036854775808)"},
                    TextCase{symbol_debug(Symbol::from_text("AAPL")), "Symbol(\"AAPL\")"},
                    TextCase{symbol_debug(Symbol()), "Symbol(\"\")"},
                    TextCase{std::string(side_name(Side::Buy)), "Buy"},
                    TextCase{std::string(side_name(opposite(Side::Buy))), "Sell"},
                    TextCase{std::string(side_name(opposite(Side::Sell))), "Buy"},
                    TextCase{std::string(tif_name(TimeInForce::GTC)), "GTC"},
                    TextCase{std::string(tif_name(TimeInForce::IOC)), "IOC"},
                    TextCase{std::string(tif_name(TimeInForce::FOK)), "FOK"},
                    TextCase{std::string(status_name(OrderStatus::New)), "New"},
                    TextCase{std::string(status_name(OrderStatus::PartiallyFilled)),
                             "PartiallyFilled"},
                    TextCase{std::string(status_name(OrderStatus::Filled)), "Filled"},
                    TextCase{std::string(status_name(OrderStatus::Cancelled)), "Cancelled"}));

TEST(PriceTest, ExtremesAreTheSixtyFourBitLimits) {
  EXPECT_EQ(kMaxPrice, INT64_MAX);
  EXPECT_EQ(kMinPrice, INT64_MIN);
}

}  // namespace
}  // namespace tessarin
