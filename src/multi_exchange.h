// MultiExchange: independent single-instrument Exchanges, one per Symbol,
// created on first use. It owns the exchanges; there is no cross-symbol logic,
// and ids, trade ids and timestamps are unique only within one symbol.
#ifndef TESSARIN_MULTI_EXCHANGE_H_
#define TESSARIN_MULTI_EXCHANGE_H_

#include <cstddef>
#include <unordered_map>
#include <vector>

#include "exchange.h"
#include "types.h"

namespace tessarin {

class MultiExchange {
 public:
  MultiExchange() = default;

  // The symbol's exchange, inserting an empty one when it has none. The
  // reference stays valid while the collection lives (later insertions included).
  Exchange& get_or_create(const Symbol& symbol);

  // The symbol's exchange, or nullptr; never inserts.
  const Exchange* get(const Symbol& symbol) const;

  // Every symbol with an exchange, in the map's iteration order: neither
  // insertion nor sorted order, but stable between insertions and the same for
  // the same sequence of insertions.
  std::vector<Symbol> symbols() const;

  size_t size() const { return exchanges_.size(); }

  // The same symbols, each with an equal exchange.
  friend bool operator==(const MultiExchange&, const MultiExchange&) = default;

 private:
  std::unordered_map<Symbol, Exchange> exchanges_;
};

}  // namespace tessarin

#endif  // TESSARIN_MULTI_EXCHANGE_H_
