// MultiExchange: independent per-symbol engines, created on first use, with
// stable references and a stable iteration order.
#include "multi_exchange.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessarin {
namespace {

Symbol sym(const std::string& text) { return Symbol::from_text(text); }

TEST(MultiExchangeTest, EachSymbolCountsFromOne) {
  MultiExchange multi;
  EXPECT_EQ(multi.get_or_create(sym("AAPL")).submit_limit(Side::Buy, 15000, 100, TimeInForce::GTC).order_id, 1u);
  EXPECT_EQ(multi.get_or_create(sym("MSFT")).submit_limit(Side::Buy, 30000, 10, TimeInForce::GTC).order_id, 1u);
  EXPECT_EQ(multi.get_or_create(sym("AAPL")).submit_limit(Side::Sell, 15100, 5, TimeInForce::GTC).order_id, 2u);
  EXPECT_EQ(multi.get(sym("MSFT"))->best_bid(), 30000);
  EXPECT_EQ(multi.get(sym("AAPL"))->best_ask(), 15100);
}

TEST(MultiExchangeTest, GetNeverInserts) {
  MultiExchange multi;
  EXPECT_EQ(multi.get(sym("IBM")), nullptr);
  EXPECT_EQ(multi.size(), 0u);
  multi.get_or_create(sym("IBM")).cancel(3);  // fails there, but the event is kept
  EXPECT_EQ(multi.size(), 1u);
  ASSERT_NE(multi.get(sym("IBM")), nullptr);
  EXPECT_EQ(multi.get(sym("IBM"))->events().size(), 1u);
  // The empty symbol is a symbol like any other.
  multi.get_or_create(sym(""));
  EXPECT_EQ(multi.size(), 2u);
}

TEST(MultiExchangeTest, ReferencesSurviveLaterInsertions) {
  MultiExchange multi;
  Exchange& first = multi.get_or_create(sym("S0"));
  first.submit_limit(Side::Buy, 1, 1, TimeInForce::GTC);
  for (int i = 1; i < 500; ++i) multi.get_or_create(sym(std::to_string(i)));
  EXPECT_EQ(&first, &multi.get_or_create(sym("S0")));
  EXPECT_EQ(first.best_bid(), 1);
}

TEST(MultiExchangeTest, SymbolsFollowOneStableOrderForOneInsertionSequence) {
  const auto build = [] {
    MultiExchange multi;
    for (const char* s : {"MSFT", "A", "ZZZZZZZZ", "AAPL", "B", "GOOG"}) {
      multi.get_or_create(sym(s)).submit_limit(Side::Sell, 100, 1, TimeInForce::GTC);
    }
    return multi;
  };
  MultiExchange a = build();
  const MultiExchange b = build();
  const std::vector<Symbol> order = a.symbols();
  EXPECT_EQ(order.size(), 6u);
  EXPECT_EQ(order, b.symbols());
  a.get_or_create(sym("MSFT"));  // no insertion: the order stays
  EXPECT_EQ(a.symbols(), order);
  EXPECT_EQ(a, b);
  a.get_or_create(sym("A")).cancel(1);
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace tessarin
