#include "order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "invariant.h"

namespace tessarin {
namespace {

Order fresh(Quantity quantity) {
  return Order::accepted(7, Side::Sell, 10050, quantity, 3, TimeInForce::GTC);
}

TEST(OrderTest, AcceptedOrderIsFullyOpen) {
  const Order order = Order::accepted(7, Side::Sell, 10050, 100, 3, TimeInForce::IOC);
  EXPECT_EQ(order, (Order{.id = 7,
                          .price = 10050,
                          .original_quantity = 100,
                          .remaining_quantity = 100,
                          .filled_quantity = 0,
                          .timestamp = 3,
                          .queue_position = 0,
                          .side = Side::Sell,
                          .time_in_force = TimeInForce::IOC,
                          .status = OrderStatus::New}));
  EXPECT_TRUE(is_active(order.status));
}

struct FillCase {
  Quantity original;
  std::vector<Quantity> fills;
  Quantity remaining;
  OrderStatus status;
};

class OrderFillTest : public testing::TestWithParam<FillCase> {};

TEST_P(OrderFillTest, MovesQuantityFromRemainingToFilled) {
  const FillCase& c = GetParam();
  Order order = fresh(c.original);
  for (Quantity q : c.fills) order.fill(q);
  EXPECT_EQ(order.remaining_quantity, c.remaining);
  EXPECT_EQ(order.filled_quantity, c.original - c.remaining);
  EXPECT_EQ(order.status, c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Fills, OrderFillTest,
    testing::Values(FillCase{100, {100}, 0, OrderStatus::Filled},
                    FillCase{100, {40}, 60, OrderStatus::PartiallyFilled},
                    FillCase{100, {40, 60}, 0, OrderStatus::Filled},
                    FillCase{UINT64_MAX, {UINT64_MAX - 1}, 1, OrderStatus::PartiallyFilled},
                    FillCase{UINT64_MAX, {UINT64_MAX}, 0, OrderStatus::Filled}));

TEST(OrderTest, FillBeyondRemainingIsAnInvariantFailure) {
  Order order = fresh(5);
  order.fill(2);
  try {
    order.fill(4);
    FAIL() << "expected an invariant failure";
  } catch (const InvariantFailure& failure) {
    EXPECT_STREQ(failure.what(), "fill quantity 4 exceeds remaining 3");
  }
  EXPECT_EQ(order.remaining_quantity, 3u);  // untouched by the refused fill
}

TEST(OrderTest, CancelKeepsFilledAndReturnsOpenQuantity) {
  Order order = fresh(100);
  order.fill(30);
  EXPECT_EQ(order.cancel(), 70u);
  EXPECT_EQ(order.remaining_quantity, 0u);
  EXPECT_EQ(order.filled_quantity, 30u);
  EXPECT_EQ(order.status, OrderStatus::Cancelled);
  EXPECT_FALSE(is_active(order.status));
}

class TerminalCancelTest : public testing::TestWithParam<OrderStatus> {};

TEST_P(TerminalCancelTest, CancellingATerminalOrderIsAnInvariantFailure) {
  Order order = fresh(10);
  if (GetParam() == OrderStatus::Filled) order.fill(10);
  if (GetParam() == OrderStatus::Cancelled) order.cancel();
  try {
    order.cancel();
    FAIL() << "expected an invariant failure";
  } catch (const InvariantFailure& failure) {
    EXPECT_EQ(failure.what(),
              "cannot cancel order in terminal state " + std::string(status_name(GetParam())));
  }
  EXPECT_EQ(order.status, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Terminal, TerminalCancelTest,
                         testing::Values(OrderStatus::Filled, OrderStatus::Cancelled));

}  // namespace
}  // namespace tessarin
