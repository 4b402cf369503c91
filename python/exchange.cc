// The Python Exchange class: one single-instrument matching engine.
#include <cmath>
#include <string>

#include "exchange_area.h"
#include "format.h"
#include "parsers.h"
#include "registry.h"
#include "saturating.h"

namespace tessarin::python {
namespace {

using bind::Args;
using bind::method;

// ---- trailing-stop arguments --------------------------------------------------

TrailMethod parse_trail(std::string_view trail_type, double trail_value, std::optional<uint64_t> atr_period) {
  if (equals_ascii_lower(trail_type, "fixed")) return TrailFixed{saturating_trunc(trail_value)};
  if (equals_ascii_lower(trail_type, "percentage") || equals_ascii_lower(trail_type, "pct")) {
    return TrailPercentage{trail_value};
  }
  if (equals_ascii_lower(trail_type, "sma_abs_change") || equals_ascii_lower(trail_type, "atr")) {
    if (!atr_period) {
      bind::raise(PyExc_ValueError,
                  "atr_period is required when trail_type='sma_abs_change' (or the deprecated alias 'atr')");
    }
    return TrailSmaAbsChange{trail_value, *atr_period};
  }
  bind::raise(PyExc_ValueError, "Invalid trail_type '" + std::string(trail_type) +
                                    "'. Use 'fixed', 'percentage', or 'sma_abs_change'.");
}

// ---- requests -------------------------------------------------------------------

PyObject* submit_limit(Exchange& ex, const Args& a) {
  const auto side = a.get<std::string_view>(0);
  const auto price = a.get<int64_t>(1);
  const auto quantity = a.get<uint64_t>(2);
  const auto tif = a.get_or<std::string_view>(3, "gtc");
  const Side parsed_side = parse_side(side);  // side is checked before tif
  return to_python(ex.submit_limit(parsed_side, price, quantity, parse_tif(tif)));
}

PyObject* submit_market(Exchange& ex, const Args& a) {
  const auto side = a.get<std::string_view>(0);
  const auto quantity = a.get<uint64_t>(1);
  return to_python(ex.submit_market(parse_side(side), quantity));
}

PyObject* cancel(Exchange& ex, const Args& a) { return to_python(ex.cancel(a.get<uint64_t>(0))); }

PyObject* modify(Exchange& ex, const Args& a) {
  const auto id = a.get<uint64_t>(0);
  const auto price = a.get<int64_t>(1);
  const auto quantity = a.get<uint64_t>(2);
  return to_python(ex.modify(id, price, quantity));
}

PyObject* submit_stop_market(Exchange& ex, const Args& a) {
  const auto side = a.get<std::string_view>(0);
  const auto stop_price = a.get<int64_t>(1);
  const auto quantity = a.get<uint64_t>(2);
  return to_python(ex.submit_stop_market(parse_side(side), stop_price, quantity));
}

PyObject* submit_stop_limit(Exchange& ex, const Args& a) {
  const auto side = a.get<std::string_view>(0);
  const auto stop_price = a.get<int64_t>(1);
  const auto limit_price = a.get<int64_t>(2);
  const auto quantity = a.get<uint64_t>(3);
  const auto tif = a.get_or<std::string_view>(4, "gtc");
  const Side parsed_side = parse_side(side);
  return to_python(ex.submit_stop_limit(parsed_side, stop_price, limit_price, quantity, parse_tif(tif)));
}

PyObject* submit_trailing_stop_market(Exchange& ex, const Args& a) {
  const auto side = a.get<std::string_view>(0);
  const auto stop_price = a.get<int64_t>(1);
  const auto quantity = a.get<uint64_t>(2);
  const auto trail_type = a.get<std::string_view>(3);
  const auto trail_value = a.get<double>(4);
  const auto atr_period = a.get<std::optional<uint64_t>>(5);
  const Side parsed_side = parse_side(side);
  const TrailMethod trail = parse_trail(trail_type, trail_value, atr_period);
  return to_python(ex.submit_trailing_stop_market(parsed_side, stop_price, quantity, trail));
}

PyObject* submit_trailing_stop_limit(Exchange& ex, const Args& a) {
  const auto side = a.get<std::string_view>(0);
  const auto stop_price = a.get<int64_t>(1);
  const auto limit_price = a.get<int64_t>(2);
  const auto quantity = a.get<uint64_t>(3);
  const auto trail_type = a.get<std::string_view>(4);
  const auto trail_value = a.get<double>(5);
  const auto tif = a.get_or<std::string_view>(6, "gtc");
  const auto atr_period = a.get<std::optional<uint64_t>>(7);
  const Side parsed_side = parse_side(side);
  const TimeInForce parsed_tif = parse_tif(tif);
  const TrailMethod trail = parse_trail(trail_type, trail_value, atr_period);
  return to_python(
      ex.submit_trailing_stop_limit(parsed_side, stop_price, limit_price, quantity, parsed_tif, trail));
}

// ---- queries ----------------------------------------------------------------------

PyObject* get_order(const Exchange& ex, const Args& a) {
  std::optional<Order> order = ex.get_order(a.get<uint64_t>(0));
  return order ? bind::wrap<Order>(*order) : bind::none();
}

std::string stop_status_lower(StopStatus status) {
  switch (status) {
    case StopStatus::Pending:
      return "pending";
    case StopStatus::Triggered:
      return "triggered";
    case StopStatus::Cancelled:
      return "cancelled";
  }
  return "pending";
}

// A stop order as a dict with the keys users read, in this order.
PyObject* stop_order_dict(const StopOrder& s) {
  bind::Ref dict = bind::Ref::steal(bind::check(PyDict_New()));
  auto put = [&](const char* key, PyObject* value) {
    bind::Ref owned = bind::Ref::steal(value);
    if (PyDict_SetItemString(dict.get(), key, owned.get()) < 0) throw bind::ErrorAlreadySet{};
  };
  put("id", bind::to_py(s.id));
  put("side", bind::to_py(side_text(s.side)));
  put("stop_price", bind::to_py(s.stop_price));
  put("limit_price", bind::to_py(s.limit_price));
  put("quantity", bind::to_py(s.quantity));
  put("status", bind::to_py(stop_status_lower(s.status)));
  put("timestamp", bind::to_py(s.timestamp));
  return dict.release();
}

PyObject* get_stop_order(const Exchange& ex, const Args& a) {
  std::optional<StopOrder> stop = ex.get_stop_order(a.get<uint64_t>(0));
  return stop ? stop_order_dict(*stop) : bind::none();
}

PyObject* best_bid_ask(const Exchange& ex) { return bind::tuple_of(ex.best_bid(), ex.best_ask()); }

PyObject* depth(const Exchange& ex, const Args& a) {
  return bind::wrap<BookSnapshot>(ex.depth(a.get_or<uint64_t>(0, 10)));
}

PyObject* replay(const Args& a) { return bind::wrap<Exchange>(Exchange::replay(events_arg(a, 0))); }

std::string exchange_repr(const Exchange& ex) {
  auto price = [](std::optional<Price> p) {
    return p ? "$" + format_fixed(static_cast<double>(*p) / 100.0, 2) : std::string("None");
  };
  return "Exchange(bid=" + price(ex.best_bid()) + ", ask=" + price(ex.best_ask()) +
         ", trades=" + std::to_string(ex.trades().size()) + ")";
}

constexpr char kExchangeDoc[] = "Exchange()\n--\n\nA limit order book exchange.";
constexpr char kReplaySig[] = "replay(events)";
constexpr char kReplayDoc[] = "Replay events to reconstruct exchange state.";
constexpr char kSubmitLimitSig[] = "submit_limit($self, side, price, quantity, tif=\"gtc\")";
constexpr char kSubmitMarketSig[] = "submit_market($self, side, quantity)";
constexpr char kCancelSig[] = "cancel($self, order_id)";
constexpr char kModifySig[] = "modify($self, order_id, new_price, new_quantity)";
constexpr char kModifyDoc[] = "Modify an order (cancel and replace).\n\nThe new order gets a new ID and loses time priority.";
constexpr char kStopMarketSig[] = "submit_stop_market($self, side, stop_price, quantity)";
constexpr char kStopLimitSig[] = "submit_stop_limit($self, side, stop_price, limit_price, quantity, tif=\"gtc\")";
constexpr char kTrailingMarketSig[] =
    "submit_trailing_stop_market($self, side, initial_stop_price, quantity, trail_type, trail_value, "
    "atr_period=None)";
constexpr char kTrailingLimitSig[] =
    "submit_trailing_stop_limit($self, side, initial_stop_price, limit_price, quantity, trail_type, "
    "trail_value, tif=\"gtc\", atr_period=None)";
constexpr char kTrailingDoc[] =
    "trail_type is 'fixed', 'percentage' (alias 'pct') or 'sma_abs_change' (deprecated alias 'atr').\n"
    "trail_value is an offset in cents (fixed), a fraction of the reference price (percentage, 0.05\n"
    "is 5%) or a multiplier of the mean absolute change of the last trade price (sma_abs_change).\n"
    "atr_period is the lookback window for sma_abs_change (it keeps its older name) and is\n"
    "ignored otherwise.";
constexpr char kGetOrderSig[] = "get_order($self, order_id)";
constexpr char kGetStopOrderSig[] = "get_stop_order($self, order_id)";
constexpr char kBestBidAskSig[] = "best_bid_ask($self)";
constexpr char kBestBidSig[] = "best_bid($self)";
constexpr char kBestAskSig[] = "best_ask($self)";
constexpr char kSpreadSig[] = "spread($self)";
constexpr char kLastTradeSig[] = "last_trade_price($self)";
constexpr char kTradesSig[] = "trades($self)";
constexpr char kEventsSig[] = "events($self)";
constexpr char kDepthSig[] = "depth($self, levels=10)";
constexpr char kFullBookSig[] = "full_book($self)";
constexpr char kPendingStopsSig[] = "pending_stop_count($self)";
constexpr char kClearTradesSig[] = "clear_trades($self)";
constexpr char kClearHistorySig[] = "clear_order_history($self)";
constexpr char kCompactSig[] = "compact($self)";
constexpr char kCompactDoc[] = "Remove tombstones from the order book.";

PyMethodDef kExchangeMethods[] = {
    bind::static_method<kReplaySig, replay, kReplayDoc>(),
    method<kSubmitLimitSig, submit_limit>(),
    method<kSubmitMarketSig, submit_market>(),
    method<kCancelSig, cancel>(),
    method<kModifySig, modify, kModifyDoc>(),
    method<kStopMarketSig, submit_stop_market>(),
    method<kStopLimitSig, submit_stop_limit>(),
    method<kTrailingMarketSig, submit_trailing_stop_market, kTrailingDoc>(),
    method<kTrailingLimitSig, submit_trailing_stop_limit, kTrailingDoc>(),
    method<kGetOrderSig, get_order>(),
    method<kGetStopOrderSig, get_stop_order>(),
    method<kBestBidAskSig, best_bid_ask>(),
    method<kBestBidSig, [](const Exchange& ex) { return ex.best_bid(); }>(),
    method<kBestAskSig, [](const Exchange& ex) { return ex.best_ask(); }>(),
    method<kSpreadSig, [](const Exchange& ex) { return ex.spread(); }>(),
    method<kLastTradeSig, [](const Exchange& ex) { return ex.last_trade_price(); }>(),
    method<kTradesSig, [](const Exchange& ex) { return trade_list(ex.trades()); }>(),
    method<kEventsSig, [](const Exchange& ex) { return event_list(ex.events()); }>(),
    method<kDepthSig, depth>(),
    method<kFullBookSig, [](const Exchange& ex) { return bind::wrap<BookSnapshot>(ex.full_book()); }>(),
    method<kPendingStopsSig, [](const Exchange& ex) { return static_cast<uint64_t>(ex.pending_stop_count()); }>(),
    method<kClearTradesSig, [](Exchange& ex) { ex.clear_trades(); }>(),
    method<kClearHistorySig, [](Exchange& ex) { return static_cast<uint64_t>(ex.clear_order_history()); }>(),
    method<kCompactSig, [](Exchange& ex) { ex.compact(); }, kCompactDoc>(),
    bind::kEndMethods,
};

constexpr char kNewSig[] = "Exchange()";

}  // namespace

PyObject* to_python(SubmitResult&& r) { return bind::wrap<SubmitResult>(std::move(r)); }
PyObject* to_python(CancelResult&& r) { return bind::wrap<CancelResult>(std::move(r)); }
PyObject* to_python(ModifyResult&& r) { return bind::wrap<ModifyResult>(std::move(r)); }
PyObject* to_python(StopSubmitResult&& r) { return bind::wrap<StopSubmitResult>(std::move(r)); }

int add_exchange_class(PyObject* m) {
  return bind::add_class<Exchange>(m, {"tessarin.Exchange", kExchangeDoc, kExchangeMethods, nullptr,
                                       bind::repr<exchange_repr>(),
                                       bind::constructor<Exchange, kNewSig, [] { return Exchange(); }>()});
}

}  // namespace tessarin::python
