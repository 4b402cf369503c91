// Stop and trailing-stop orders: StopOrder records and the StopBook that keeps
// them apart from the limit book until the last trade price reaches them.
// The StopBook owns every stop record until clear_history() drops finished ones.
//
// Invariants of StopBook:
//   1. A Pending stop's id is in exactly one price list: the list at its current
//      stop_price in the map of its side. Triggered and Cancelled stops are in none.
//   2. trailing_ids() holds exactly the Pending stops that have a trail, in
//      submission order.
//   3. pending_count() is the number of ids in the two price maps.
//   4. abs_changes() never holds more than kMaxAbsChanges entries.
//   5. Each trailing entry's watermark equals its stop's watermark.
#ifndef TESSARIN_STOP_H_
#define TESSARIN_STOP_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "side.h"
#include "tif.h"
#include "types.h"

namespace tessarin {

enum class StopStatus : uint8_t { Pending, Triggered, Cancelled };

// The variant names: "Pending", "Triggered", "Cancelled".
std::string_view stop_status_name(StopStatus status);

// Trailing distance rules. Their doubles compare bit for bit, so a value always
// equals itself (NaN included) and replayed state compares equal to the original.
struct TrailFixed {
  int64_t offset = 0;  // cents
  friend bool operator==(const TrailFixed&, const TrailFixed&) = default;
};
struct TrailPercentage {
  double fraction = 0.0;  // 0.05 trails by 5 % of the reference price
  friend bool operator==(const TrailPercentage& a, const TrailPercentage& b);
};
struct TrailSmaAbsChange {
  double multiplier = 0.0;
  uint64_t period = 0;  // observations in the mean; 0 never moves the stop
  friend bool operator==(const TrailSmaAbsChange& a, const TrailSmaAbsChange& b);
};
using TrailMethod = std::variant<TrailFixed, TrailPercentage, TrailSmaAbsChange>;

struct StopOrder {
  OrderId id = 0;
  Side side = Side::Buy;
  // Trigger price; a trailing update only ever tightens it.
  Price stop_price = 0;
  // Present for a stop-limit, absent for a stop-market.
  std::optional<Price> limit_price;
  uint64_t quantity = 0;
  // GTC for stop-market orders.
  TimeInForce time_in_force = TimeInForce::GTC;
  Timestamp timestamp = 0;
  StopStatus status = StopStatus::Pending;
  std::optional<TrailMethod> trail_method;
  // Highest (sell) or lowest (buy) price seen; absent until the first trailing update.
  std::optional<Price> watermark;

  friend bool operator==(const StopOrder&, const StopOrder&) = default;
};

struct StopSubmitResult {
  OrderId order_id = 0;
  StopStatus status = StopStatus::Pending;
  friend bool operator==(const StopSubmitResult&, const StopSubmitResult&) = default;
};

// A buy stop fires when the price rises to it, a sell stop when the price falls
// to it; equality fires.
constexpr bool stop_crossed(Side side, Price stop_price, Price last_price) {
  return side == Side::Buy ? last_price >= stop_price : last_price <= stop_price;
}

class StopBook {
 public:
  // Bound of the absolute-change history: enough for any sensible mean window
  // while keeping an exchange's memory fixed in long simulations.
  static constexpr size_t kMaxAbsChanges = 10'000;

  // Files a new stop under its stop price and, when it trails, in trailing_ids.
  // REQUIRES: stop.status == Pending and no stop with stop.id exists
  // (otherwise an invariant failure).
  void insert(const StopOrder& stop);

  // Cancels a Pending stop and unlinks it; false (and no change) for an unknown
  // or finished stop.
  bool cancel(OrderId id);

  // Records the price change since the previous update, then moves each pending
  // trailing stop towards `price` by its distance rule (tightening only) and
  // sets its watermark.
  void update_trailing_stops(Price price);

  // Removes every stop crossed by `price` from the price maps (looking only at
  // the crossed price range), marks each Triggered and returns copies in
  // submission (timestamp) order.
  std::vector<StopOrder> collect_triggered(Price price);

  size_t pending_count() const { return pending_count_; }

  // Drops every stop that is no longer Pending.
  void clear_history();

  // The stop with `id`, or nullptr.
  const StopOrder* find(OrderId id) const;
  bool is_pending(OrderId id) const;

  // Internal state, read by equality checks and tests.
  const std::deque<uint64_t>& abs_changes() const { return abs_changes_; }
  std::optional<Price> last_price() const { return last_price_; }
  std::vector<OrderId> trailing_ids() const;
  // Ids filed at `price` on `side`, oldest first (empty when none).
  std::vector<OrderId> ids_at(Side side, Price price) const;
  size_t stored_count() const { return orders_.size(); }

  friend bool operator==(const StopBook&, const StopBook&) = default;

 private:
  using PriceMap = std::map<Price, std::vector<OrderId>>;

  PriceMap& side_map(Side side) { return side == Side::Buy ? buy_stops_ : sell_stops_; }
  const PriceMap& side_map(Side side) const {
    return side == Side::Buy ? buy_stops_ : sell_stops_;
  }
  // One pending trailing stop, with a copy of what decides whether an update
  // can change it, so that the common no-op case needs no table lookup.
  struct TrailingEntry {
    OrderId id = 0;
    Side side = Side::Buy;
    // SmaAbsChange distances follow the change history, so every update counts.
    bool history_dependent = false;
    std::optional<Price> watermark;
    friend bool operator==(const TrailingEntry&, const TrailingEntry&) = default;
  };
  class MeanMemo;

  void file(Side side, Price price, OrderId id);
  void unfile(Side side, Price price, OrderId id);
  void record_change(Price price);
  void drop_finished_trailing_ids();
  static bool update_is_noop(const TrailingEntry& entry, Price price);
  // Applies one trailing update to `stop`; returns its new watermark.
  Price trail(StopOrder& stop, Price price, MeanMemo& memo, size_t available);

  std::unordered_map<OrderId, StopOrder> orders_;
  PriceMap buy_stops_;
  PriceMap sell_stops_;
  std::vector<TrailingEntry> trailing_;  // in submission order
  std::optional<Price> last_price_;
  std::deque<uint64_t> abs_changes_;
  size_t pending_count_ = 0;
};

}  // namespace tessarin

#endif  // TESSARIN_STOP_H_
