// The Python Order class: a read-only copy of one order of the order table.
#include <string>

#include "exchange_area.h"
#include "parsers.h"
#include "registry.h"

namespace tessarin::python {
namespace {

using bind::getter;

// OrderStatus variant name lowercased as a whole: PartiallyFilled -> partiallyfilled.
std::string status_lower(OrderStatus status) {
  std::string text(status_name(status));
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string order_repr(const Order& o) {
  return "Order(id=" + std::to_string(o.id) + ", side=" + std::string(side_text(o.side)) +
         ", price=" + std::to_string(o.price) + ", qty=" + std::to_string(o.filled_quantity) + "/" +
         std::to_string(o.original_quantity) + ", status=" + status_lower(o.status) + ")";
}

PyGetSetDef kOrderGetSet[] = {
    getter<[](const Order& o) { return o.id; }>("id"),
    getter<[](const Order& o) { return side_text(o.side); }>("side"),
    getter<[](const Order& o) { return o.price; }>("price"),
    getter<[](const Order& o) { return o.original_quantity; }>("original_quantity"),
    getter<[](const Order& o) { return o.remaining_quantity; }>("remaining_quantity"),
    getter<[](const Order& o) { return o.filled_quantity; }>("filled_quantity"),
    getter<[](const Order& o) { return status_lower(o.status); }>("status"),
    getter<[](const Order& o) { return tif_text(o.time_in_force); }>("time_in_force"),
    getter<[](const Order& o) { return o.timestamp; }>("timestamp"),
    bind::kEndGetSet,
};

}  // namespace

int add_order_class(PyObject* m) {
  return bind::add_class<Order>(m, {"tessarin.Order", nullptr, nullptr, kOrderGetSet, bind::repr<order_repr>()});
}

}  // namespace tessarin::python
