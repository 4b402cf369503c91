#include "multi_exchange.h"

namespace tessarin {

Exchange& MultiExchange::get_or_create(const Symbol& symbol) { return exchanges_[symbol]; }

const Exchange* MultiExchange::get(const Symbol& symbol) const {
  auto it = exchanges_.find(symbol);
  return it == exchanges_.end() ? nullptr : &it->second;
}

std::vector<Symbol> MultiExchange::symbols() const {
  std::vector<Symbol> out;
  out.reserve(exchanges_.size());
  for (const auto& entry : exchanges_) out.push_back(entry.first);
  return out;
}

}  // namespace tessarin
