// The result classes of the exchange area: SubmitResult, CancelResult,
// ModifyResult, StopSubmitResult, Trade, LevelSnapshot and BookSnapshot. Each
// holds a copy of one core value, has read-only attributes and no constructor.
#include "exchange_area.h"

#include <string>

#include "format.h"
#include "parsers.h"

namespace tessarin::python {
namespace {

using bind::getter;
using bind::kEndGetSet;
using bind::kEndMethods;
using bind::method;
using bind::none;

std::string dollars(Price cents) { return "$" + format_fixed(static_cast<double>(cents) / 100.0, 2); }

std::string optional_error(const std::optional<std::string_view>& error) {
  return std::string(error.value_or("unknown"));
}

// ---- Trade --------------------------------------------------------------------

std::string trade_repr(const Trade& t) {
  return "Trade(id=" + std::to_string(t.id) + ", price=" + dollars(t.price) +
         ", qty=" + std::to_string(t.quantity) + ", side='" + std::string(side_text(t.aggressor_side)) + "')";
}

PyGetSetDef kTradeGetSet[] = {
    getter<[](const Trade& t) { return t.id; }>("trade_id"),
    getter<[](const Trade& t) { return t.price; }>("price"),
    getter<[](const Trade& t) { return t.quantity; }>("quantity"),
    getter<[](const Trade& t) { return side_text(t.aggressor_side); }>("aggressor_side"),
    getter<[](const Trade& t) { return t.aggressor_order_id; }>("aggressor_order_id"),
    getter<[](const Trade& t) { return t.passive_order_id; }>("passive_order_id"),
    getter<[](const Trade& t) { return t.timestamp; }>("timestamp"),
    getter<[](const Trade& t) { return static_cast<double>(t.price) / 100.0; }>(
        "price_float", "Price as a float (dollars, not cents)."),
    kEndGetSet,
};

// ---- SubmitResult -------------------------------------------------------------

std::string submit_repr(const SubmitResult& r) {
  return "SubmitResult(order_id=" + std::to_string(r.order_id) + ", status='" +
         std::string(status_name(r.status)) + "', filled=" + std::to_string(r.filled_quantity) +
         ", resting=" + std::to_string(r.resting_quantity) +
         ", cancelled=" + std::to_string(r.cancelled_quantity) + ", trades=" + std::to_string(r.trades.size()) +
         ")";
}

PyGetSetDef kSubmitGetSet[] = {
    getter<[](const SubmitResult& r) { return r.order_id; }>("order_id"),
    getter<[](const SubmitResult& r) { return status_name(r.status); }>("status"),
    getter<[](const SubmitResult& r) { return r.filled_quantity; }>("filled_quantity"),
    getter<[](const SubmitResult& r) { return r.resting_quantity; }>("resting_quantity"),
    getter<[](const SubmitResult& r) { return r.cancelled_quantity; }>("cancelled_quantity"),
    getter<[](const SubmitResult& r) { return trade_list(r.trades); }>("trades"),
    kEndGetSet,
};

// ---- CancelResult -------------------------------------------------------------

std::optional<std::string_view> cancel_error(const CancelResult& r) {
  if (!r.error) return std::nullopt;
  return cancel_error_name(*r.error);
}

std::string cancel_repr(const CancelResult& r) {
  if (r.success) return "CancelResult(success=True, cancelled_quantity=" + std::to_string(r.cancelled_quantity) + ")";
  return "CancelResult(success=False, error='" + optional_error(cancel_error(r)) + "')";
}

PyGetSetDef kCancelGetSet[] = {
    getter<[](const CancelResult& r) { return r.success; }>("success"),
    getter<[](const CancelResult& r) { return r.cancelled_quantity; }>("cancelled_quantity"),
    getter<[](const CancelResult& r) { return bind::to_py(cancel_error(r)); }>("error"),
    kEndGetSet,
};

// ---- ModifyResult -------------------------------------------------------------

std::optional<std::string_view> modify_error(const ModifyResult& r) {
  if (!r.error) return std::nullopt;
  return modify_error_name(*r.error);
}

std::string modify_repr(const ModifyResult& r) {
  if (!r.success) return "ModifyResult(success=False, error='" + optional_error(modify_error(r)) + "')";
  const std::string new_id = r.new_order_id ? "Some(" + std::to_string(*r.new_order_id) + ")" : "None";
  return "ModifyResult(success=True, old=" + std::to_string(r.old_order_id) + ", new=" + new_id +
         ", trades=" + std::to_string(r.trades.size()) + ")";
}

PyGetSetDef kModifyGetSet[] = {
    getter<[](const ModifyResult& r) { return r.success; }>("success"),
    getter<[](const ModifyResult& r) { return r.old_order_id; }>("old_order_id"),
    getter<[](const ModifyResult& r) { return bind::to_py(r.new_order_id); }>("new_order_id"),
    getter<[](const ModifyResult& r) { return r.cancelled_quantity; }>("cancelled_quantity"),
    getter<[](const ModifyResult& r) { return bind::to_py(modify_error(r)); }>("error"),
    getter<[](const ModifyResult& r) { return trade_list(r.trades); }>("trades"),
    kEndGetSet,
};

// ---- StopSubmitResult -----------------------------------------------------------

std::string stop_submit_repr(const StopSubmitResult& r) {
  return "StopSubmitResult(order_id=" + std::to_string(r.order_id) + ", status='" +
         std::string(stop_status_name(r.status)) + "')";
}

PyGetSetDef kStopSubmitGetSet[] = {
    getter<[](const StopSubmitResult& r) { return r.order_id; }>("order_id"),
    getter<[](const StopSubmitResult& r) { return stop_status_name(r.status); }>("status"),
    kEndGetSet,
};

// ---- LevelSnapshot ------------------------------------------------------------

std::string level_repr(const LevelSnapshot& l) {
  return "Level(price=" + dollars(l.price) + ", qty=" + std::to_string(l.quantity) +
         ", orders=" + std::to_string(l.order_count) + ")";
}

PyGetSetDef kLevelGetSet[] = {
    getter<[](const LevelSnapshot& l) { return l.price; }>("price"),
    getter<[](const LevelSnapshot& l) { return l.quantity; }>("quantity"),
    getter<[](const LevelSnapshot& l) { return static_cast<uint64_t>(l.order_count); }>("order_count"),
    getter<[](const LevelSnapshot& l) { return static_cast<double>(l.price) / 100.0; }>("price_float"),
    kEndGetSet,
};

// ---- BookSnapshot ---------------------------------------------------------------

std::string book_repr(const BookSnapshot& b) {
  return "BookSnapshot(bids=" + std::to_string(b.bids.size()) + ", asks=" + std::to_string(b.asks.size()) + ")";
}

constexpr char kImbalanceSig[] = "imbalance($self)";
constexpr char kWeightedMidSig[] = "weighted_mid($self)";
constexpr char kMidPriceSig[] = "mid_price($self)";
constexpr char kSpreadSig[] = "spread($self)";

PyMethodDef kBookMethods[] = {
    method<kImbalanceSig, [](const BookSnapshot& b) { return b.imbalance(); }>(),
    method<kWeightedMidSig, [](const BookSnapshot& b) { return b.weighted_mid(); }>(),
    method<kMidPriceSig, [](const BookSnapshot& b) { return b.mid_price(); }>(),
    method<kSpreadSig, [](const BookSnapshot& b) { return b.spread(); }>(),
    kEndMethods,
};

PyGetSetDef kBookGetSet[] = {
    getter<[](const BookSnapshot& b) { return bind::wrap_list<LevelSnapshot>(b.bids); }>("bids"),
    getter<[](const BookSnapshot& b) { return bind::wrap_list<LevelSnapshot>(b.asks); }>("asks"),
    kEndGetSet,
};

}  // namespace

PyObject* trade_list(const std::vector<Trade>& trades) { return bind::wrap_list<Trade>(trades); }

int add_submit_result_class(PyObject* m) {
  return bind::add_class<SubmitResult>(
      m, {"tessarin.SubmitResult", "Result of submitting an order.", nullptr, kSubmitGetSet, bind::repr<submit_repr>()});
}

int add_cancel_result_class(PyObject* m) {
  return bind::add_class<CancelResult>(
      m, {"tessarin.CancelResult", "Result of cancelling an order.", nullptr, kCancelGetSet, bind::repr<cancel_repr>()});
}

int add_modify_result_class(PyObject* m) {
  return bind::add_class<ModifyResult>(
      m, {"tessarin.ModifyResult", "Result of modifying an order.", nullptr, kModifyGetSet, bind::repr<modify_repr>()});
}

int add_stop_submit_result_class(PyObject* m) {
  return bind::add_class<StopSubmitResult>(m, {"tessarin.StopSubmitResult", "Result of submitting a stop order.",
                                               nullptr, kStopSubmitGetSet, bind::repr<stop_submit_repr>()});
}

int add_trade_class(PyObject* m) {
  return bind::add_class<Trade>(
      m, {"tessarin.Trade", "A trade that occurred in the exchange.", nullptr, kTradeGetSet, bind::repr<trade_repr>()});
}

int add_level_snapshot_class(PyObject* m) {
  return bind::add_class<LevelSnapshot>(m, {"tessarin.LevelSnapshot", "A price level in the order book snapshot.",
                                            nullptr, kLevelGetSet, bind::repr<level_repr>()});
}

int add_book_snapshot_class(PyObject* m) {
  return bind::add_class<BookSnapshot>(
      m, {"tessarin.BookSnapshot", "Book depth snapshot.", kBookMethods, kBookGetSet, bind::repr<book_repr>()});
}

}  // namespace tessarin::python
