#include "stop.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <iterator>
#include <utility>

#include "invariant.h"
#include "saturating.h"

namespace tessarin {

// Means of the absolute-change window computed during one trailing update, by
// effective window length: stops sharing a period share one summation.
class StopBook::MeanMemo {
 public:
  explicit MeanMemo(const std::deque<uint64_t>& changes) : changes_(changes) {}

  // REQUIRES: 1 <= window <= number of changes.
  double mean(size_t window) {
    for (const auto& [w, m] : computed_) {
      if (w == window) return m;
    }
    // Summed exactly: 10,000 values below 2^64 cannot reach 2^128.
    unsigned __int128 sum = 0;
    for (auto it = changes_.end() - static_cast<std::ptrdiff_t>(window); it != changes_.end(); ++it) {
      sum += *it;
    }
    const double m = static_cast<double>(sum) / static_cast<double>(window);
    computed_.emplace_back(window, m);
    return m;
  }

 private:
  const std::deque<uint64_t>& changes_;
  std::vector<std::pair<size_t, double>> computed_;
};

namespace {

template <class Memo>
struct DistanceRule {
  Price reference;
  Memo& memo;
  size_t available;

  std::optional<int64_t> operator()(const TrailFixed& t) const { return t.offset; }
  std::optional<int64_t> operator()(const TrailPercentage& t) const {
    // std::round rounds halves away from zero; NaN saturates to 0, which never moves.
    return saturating_trunc(std::round(t.fraction * static_cast<double>(reference)));
  }
  std::optional<int64_t> operator()(const TrailSmaAbsChange& t) const {
    if (t.period == 0 || available == 0) return std::nullopt;
    const size_t window = t.period < available ? static_cast<size_t>(t.period) : available;
    return saturating_trunc(memo.mean(window) * t.multiplier);
  }
};

// The sell stop trails below the highest price seen, the buy stop above the lowest.
Price trail_reference(const StopOrder& stop, Price price) {
  const Price seen = stop.watermark.value_or(price);
  return stop.side == Side::Sell ? std::max(price, seen) : std::min(price, seen);
}

}  // namespace

std::string_view stop_status_name(StopStatus status) {
  switch (status) {
    case StopStatus::Pending: return "Pending";
    case StopStatus::Triggered: return "Triggered";
    case StopStatus::Cancelled: return "Cancelled";
  }
  return "Pending";  // unreachable: every enumerator is handled above
}

bool operator==(const TrailPercentage& a, const TrailPercentage& b) {
  return std::bit_cast<uint64_t>(a.fraction) == std::bit_cast<uint64_t>(b.fraction);
}

bool operator==(const TrailSmaAbsChange& a, const TrailSmaAbsChange& b) {
  return std::bit_cast<uint64_t>(a.multiplier) == std::bit_cast<uint64_t>(b.multiplier) &&
         a.period == b.period;
}

void StopBook::insert(const StopOrder& stop) {
  check_invariant(stop.status == StopStatus::Pending, "inserted stop order must be pending");
  const auto [it, inserted] = orders_.emplace(stop.id, stop);
  if (!inserted) invariant_failure("stop order " + order_id_text(stop.id) + " already exists");
  file(stop.side, stop.stop_price, stop.id);
  if (stop.trail_method) {
    const bool history = std::holds_alternative<TrailSmaAbsChange>(*stop.trail_method);
    trailing_.push_back(TrailingEntry{stop.id, stop.side, history, stop.watermark});
  }
}

bool StopBook::cancel(OrderId id) {
  auto it = orders_.find(id);
  if (it == orders_.end() || it->second.status != StopStatus::Pending) return false;
  StopOrder& stop = it->second;
  stop.status = StopStatus::Cancelled;
  unfile(stop.side, stop.stop_price, id);
  if (stop.trail_method) std::erase_if(trailing_, [id](const TrailingEntry& e) { return e.id == id; });
  return true;
}

// A Fixed or Percentage distance depends only on the reference price. When the
// price does not pass the watermark the reference is the watermark itself, and
// the candidate it gives was already applied (or refused) when the watermark was
// set; the stop has only tightened since, so the update changes nothing.
bool StopBook::update_is_noop(const TrailingEntry& entry, Price price) {
  if (entry.history_dependent || !entry.watermark) return false;
  return entry.side == Side::Sell ? price <= *entry.watermark : price >= *entry.watermark;
}

void StopBook::update_trailing_stops(Price price) {
  record_change(price);
  if (trailing_.empty()) return;
  MeanMemo memo(abs_changes_);
  const size_t available = abs_changes_.size();
  for (TrailingEntry& entry : trailing_) {
    if (update_is_noop(entry, price)) continue;
    auto it = orders_.find(entry.id);
    if (it == orders_.end()) continue;
    StopOrder& stop = it->second;
    if (stop.status != StopStatus::Pending || !stop.trail_method) continue;
    entry.watermark = trail(stop, price, memo, available);
  }
}

Price StopBook::trail(StopOrder& stop, Price price, MeanMemo& memo, size_t available) {
  const Price reference = trail_reference(stop, price);
  const std::optional<int64_t> d = std::visit(DistanceRule{reference, memo, available}, *stop.trail_method);
  if (d && *d >= 1) {
    // Saturation keeps a candidate near the price limits inside the Price range.
    const Price candidate = stop.side == Side::Sell ? sat_sub(reference, *d) : sat_add(reference, *d);
    const bool tightens = stop.side == Side::Sell ? candidate > stop.stop_price : candidate < stop.stop_price;
    if (tightens) {
      unfile(stop.side, stop.stop_price, stop.id);
      file(stop.side, candidate, stop.id);
      stop.stop_price = candidate;
    }
  }
  stop.watermark = reference;
  return reference;
}

std::vector<StopOrder> StopBook::collect_triggered(Price price) {
  if (pending_count_ == 0) return {};
  std::vector<OrderId> crossed;
  const auto take = [&](PriceMap& map, PriceMap::iterator first, PriceMap::iterator last) {
    if (first == last) return;
    for (auto it = first; it != last; ++it) crossed.insert(crossed.end(), it->second.begin(), it->second.end());
    map.erase(first, last);
  };
  take(buy_stops_, buy_stops_.begin(), buy_stops_.upper_bound(price));
  take(sell_stops_, sell_stops_.lower_bound(price), sell_stops_.end());
  pending_count_ -= crossed.size();

  std::vector<StopOrder> triggered;
  std::vector<OrderId> fired_trailing;
  for (OrderId id : crossed) {
    auto it = orders_.find(id);
    if (it == orders_.end() || it->second.status != StopStatus::Pending) continue;
    it->second.status = StopStatus::Triggered;
    if (it->second.trail_method) fired_trailing.push_back(id);
    triggered.push_back(it->second);
  }
  std::stable_sort(triggered.begin(), triggered.end(),
                   [](const StopOrder& a, const StopOrder& b) { return a.timestamp < b.timestamp; });
  // Every other trailing entry is still pending (cancel unlinks its own), so
  // only the fired ones leave; no table lookup per entry.
  if (!fired_trailing.empty()) {
    std::sort(fired_trailing.begin(), fired_trailing.end());
    std::erase_if(trailing_, [&](const TrailingEntry& e) {
      return std::binary_search(fired_trailing.begin(), fired_trailing.end(), e.id);
    });
  }
  return triggered;
}

void StopBook::clear_history() {
  std::erase_if(orders_, [](const auto& entry) { return entry.second.status != StopStatus::Pending; });
  drop_finished_trailing_ids();
}

const StopOrder* StopBook::find(OrderId id) const {
  auto it = orders_.find(id);
  return it == orders_.end() ? nullptr : &it->second;
}

bool StopBook::is_pending(OrderId id) const {
  const StopOrder* stop = find(id);
  return stop != nullptr && stop->status == StopStatus::Pending;
}

std::vector<OrderId> StopBook::trailing_ids() const {
  std::vector<OrderId> ids;
  ids.reserve(trailing_.size());
  for (const TrailingEntry& e : trailing_) ids.push_back(e.id);
  return ids;
}

std::vector<OrderId> StopBook::ids_at(Side side, Price price) const {
  const PriceMap& map = side_map(side);
  auto it = map.find(price);
  return it == map.end() ? std::vector<OrderId>{} : it->second;
}

void StopBook::file(Side side, Price price, OrderId id) {
  side_map(side)[price].push_back(id);
  ++pending_count_;
}

void StopBook::unfile(Side side, Price price, OrderId id) {
  PriceMap& map = side_map(side);
  auto it = map.find(price);
  check_invariant(it != map.end(), "pending stop order is filed at its stop price");
  std::vector<OrderId>& ids = it->second;
  auto pos = std::find(ids.begin(), ids.end(), id);
  check_invariant(pos != ids.end(), "pending stop order is filed at its stop price");
  ids.erase(pos);
  if (ids.empty()) map.erase(it);
  --pending_count_;
}

void StopBook::record_change(Price price) {
  if (last_price_) {
    abs_changes_.push_back(abs_diff(price, *last_price_));
    if (abs_changes_.size() > kMaxAbsChanges) abs_changes_.pop_front();
  }
  last_price_ = price;
}

void StopBook::drop_finished_trailing_ids() {
  std::erase_if(trailing_, [this](const TrailingEntry& e) { return !is_pending(e.id); });
}

}  // namespace tessarin
