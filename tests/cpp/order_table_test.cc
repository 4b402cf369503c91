#include "order_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace tessarin {
namespace {

Order order_with_id(OrderId id, OrderStatus status = OrderStatus::New) {
  Order order = Order::accepted(id, Side::Buy, 100, 10, id, TimeInForce::GTC);
  order.status = status;
  return order;
}

std::vector<OrderId> ids_in_order(const OrderTable& table) {
  std::vector<OrderId> ids;
  table.for_each([&](const Order& order) { ids.push_back(order.id); });
  return ids;
}

// Ids on both sides of page boundaries, inserted out of order, and ids far past
// the directly addressed range (down to the largest id).
const std::vector<OrderId> kScatteredIds = {4097, 1,          4095,         4096,
                                            8191, 1ull << 40, UINT64_MAX,   (1ull << 34) - 1,
                                            1ull << 34};

TEST(OrderTableTest, FindsEveryStoredIdAndNothingElse) {
  OrderTable table;
  for (OrderId id : kScatteredIds) table.insert(order_with_id(id), id + 1);
  EXPECT_EQ(table.size(), kScatteredIds.size());
  for (OrderId id : kScatteredIds) {
    const OrderSlot* slot = table.find(id);
    ASSERT_NE(slot, nullptr) << id;
    EXPECT_EQ(slot->order.id, id);
    EXPECT_EQ(slot->queue_sequence, id + 1);
  }
  // Neighbours sharing a page with stored ids, unallocated pages and the reserved id.
  for (OrderId id : {OrderId{0}, OrderId{2}, OrderId{4094}, OrderId{4098}, OrderId{1} << 20,
                     (OrderId{1} << 40) + 1, UINT64_MAX - 1}) {
    EXPECT_EQ(table.find(id), nullptr) << id;
  }
}

TEST(OrderTableTest, IteratesInIncreasingIdOrder) {
  OrderTable table;
  for (OrderId id : kScatteredIds) table.insert(order_with_id(id), kNotQueued);
  std::vector<OrderId> sorted = kScatteredIds;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(ids_in_order(table), sorted);
}

TEST(OrderTableTest, EraseIfRemovesMatchingOrdersAndPagesCanBeRefilled) {
  OrderTable table;
  for (OrderId id = 1; id <= 9000; ++id) {
    table.insert(order_with_id(id, id % 3 == 0 ? OrderStatus::New : OrderStatus::Filled),
                 kNotQueued);
  }
  table.insert(order_with_id(1ull << 40, OrderStatus::Cancelled), kNotQueued);
  const size_t erased =
      table.erase_if([](const Order& order) { return !is_active(order.status); });
  EXPECT_EQ(erased, 6000u + 1u);
  EXPECT_EQ(table.size(), 3000u);
  EXPECT_EQ(table.find(1), nullptr);
  EXPECT_NE(table.find(3), nullptr);
  EXPECT_EQ(table.find(1ull << 40), nullptr);

  // Emptying a whole page (ids 4096..8191) frees it; its ids can be stored again.
  table.erase_if([](const Order& order) { return order.id >= 4096 && order.id < 8192; });
  EXPECT_EQ(table.find(4098), nullptr);
  table.insert(order_with_id(4097), 7);
  EXPECT_EQ(table.find(4097)->queue_sequence, 7u);
  EXPECT_EQ(table.find(4098), nullptr);
  EXPECT_NE(table.find(8193), nullptr);

  // A page left with a single order keeps it.
  table.erase_if([](const Order& order) { return order.id >= 8192 && order.id != 8997; });
  ASSERT_NE(table.find(8997), nullptr);
  EXPECT_EQ(table.find(8997)->order.id, 8997u);
  EXPECT_EQ(table.size(), 1365u + 1u + 1u);  // page 0 survivors, 4097, 8997
}

TEST(OrderTableTest, CopiesAreIndependentAndEqualityIgnoresQueueNumbers) {
  OrderTable table;
  for (OrderId id : kScatteredIds) table.insert(order_with_id(id), 1);
  OrderTable copy = table;
  EXPECT_EQ(copy, table);
  copy.find(4096)->queue_sequence = 99;
  EXPECT_EQ(copy, table) << "queue numbers are bookkeeping";
  copy.find(4096)->order.filled_quantity = 1;
  copy.find(UINT64_MAX)->order.price = 1;
  EXPECT_NE(copy, table);
  EXPECT_EQ(table.find(4096)->order.filled_quantity, 0u);
  EXPECT_EQ(table.find(UINT64_MAX)->order.price, 100);

  OrderTable fewer = table;
  fewer.erase_if([](const Order& order) { return order.id == 1; });
  EXPECT_NE(fewer, table);
}

}  // namespace
}  // namespace tessarin
