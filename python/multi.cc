// The Python MultiExchange class: one Exchange per symbol, created on first use.
#include <string>

#include "exchange_area.h"
#include "parsers.h"
#include "registry.h"

namespace tessarin::python {
namespace {

using bind::Args;
using bind::method;

// A copy: changes made through the returned object never reach the collection.
PyObject* get_or_create(MultiExchange& mx, const Args& a) {
  return bind::wrap<Exchange>(mx.get_or_create(symbol_arg(a, 0)));
}

PyObject* symbols(const MultiExchange& mx) {
  return bind::list_of(mx.symbols(), [](const Symbol& s) { return bind::to_py(s.text()); });
}

PyObject* best_prices(const MultiExchange& mx) {
  return bind::list_of(mx.symbols(), [&](const Symbol& s) {
    const Exchange* ex = mx.get(s);
    return bind::tuple_of(s.text(), ex->best_bid(), ex->best_ask());
  });
}

// Symbol, side and time in force are parsed in that order, then the symbol's
// exchange is created if needed.
PyObject* submit_limit(MultiExchange& mx, const Args& a) {
  const auto symbol = a.get<std::string_view>(0);
  const auto side = a.get<std::string_view>(1);
  const auto price = a.get<int64_t>(2);
  const auto quantity = a.get<uint64_t>(3);
  const auto tif = a.get_or<std::string_view>(4, "gtc");
  const Symbol parsed_symbol = parse_symbol(symbol);
  const Side parsed_side = parse_side(side);
  const TimeInForce parsed_tif = parse_tif(tif);
  return to_python(mx.get_or_create(parsed_symbol).submit_limit(parsed_side, price, quantity, parsed_tif));
}

PyObject* submit_market(MultiExchange& mx, const Args& a) {
  const auto symbol = a.get<std::string_view>(0);
  const auto side = a.get<std::string_view>(1);
  const auto quantity = a.get<uint64_t>(2);
  const Symbol parsed_symbol = parse_symbol(symbol);
  const Side parsed_side = parse_side(side);
  return to_python(mx.get_or_create(parsed_symbol).submit_market(parsed_side, quantity));
}

PyObject* cancel(MultiExchange& mx, const Args& a) {
  const auto symbol = a.get<std::string_view>(0);
  const auto id = a.get<uint64_t>(1);
  return to_python(mx.get_or_create(parse_symbol(symbol)).cancel(id));
}

PyObject* modify(MultiExchange& mx, const Args& a) {
  const auto symbol = a.get<std::string_view>(0);
  const auto id = a.get<uint64_t>(1);
  const auto price = a.get<int64_t>(2);
  const auto quantity = a.get<uint64_t>(3);
  return to_python(mx.get_or_create(parse_symbol(symbol)).modify(id, price, quantity));
}

std::string multi_repr(const MultiExchange& mx) {
  return "MultiExchange(symbols=" + std::to_string(mx.size()) + ")";
}

constexpr char kMultiDoc[] = "MultiExchange()\n--\n\nMulti-symbol exchange wrapping one Exchange per symbol.";
constexpr char kNewSig[] = "MultiExchange()";
constexpr char kGetOrCreateSig[] = "get_or_create($self, symbol)";
constexpr char kSymbolsSig[] = "symbols($self)";
constexpr char kBestPricesSig[] = "best_prices($self)";
constexpr char kSubmitLimitSig[] = "submit_limit($self, symbol, side, price, quantity, tif=\"gtc\")";
constexpr char kSubmitMarketSig[] = "submit_market($self, symbol, side, quantity)";
constexpr char kCancelSig[] = "cancel($self, symbol, order_id)";
constexpr char kModifySig[] = "modify($self, symbol, order_id, new_price, new_quantity)";
constexpr char kLenSig[] = "len($self)";

PyMethodDef kMultiMethods[] = {
    method<kGetOrCreateSig, get_or_create>(),
    method<kSymbolsSig, symbols>(),
    method<kBestPricesSig, best_prices>(),
    method<kSubmitLimitSig, submit_limit>(),
    method<kSubmitMarketSig, submit_market>(),
    method<kCancelSig, cancel>(),
    method<kModifySig, modify>(),
    method<kLenSig, [](const MultiExchange& mx) { return static_cast<uint64_t>(mx.size()); }>(),
    bind::kEndMethods,
};

}  // namespace

int add_multi_exchange_class(PyObject* m) {
  return bind::add_class<MultiExchange>(
      m, {"tessarin.MultiExchange", kMultiDoc, kMultiMethods, nullptr, bind::repr<multi_repr>(),
          bind::constructor<MultiExchange, kNewSig, [] { return MultiExchange(); }>()});
}

}  // namespace tessarin::python
