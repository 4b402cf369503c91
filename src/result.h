// What the exchange's requests return: the outcome of a submission, a cancel and
// a cancel-and-replace modify, with the typed reasons a cancel or modify fails.
// Failures are values here; nothing in these requests throws for bad input.
#ifndef TESSARIN_RESULT_H_
#define TESSARIN_RESULT_H_

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "order.h"
#include "trade.h"
#include "types.h"

namespace tessarin {

enum class CancelError : uint8_t { OrderNotFound, OrderNotActive };
enum class ModifyError : uint8_t { OrderNotFound, OrderNotActive, InvalidQuantity };

// The variant names: "OrderNotFound", "OrderNotActive", "InvalidQuantity".
std::string_view cancel_error_name(CancelError error);
std::string_view modify_error_name(ModifyError error);

// filled + resting + cancelled == the submitted quantity. `trades` are the
// submission's own fills; fills of stops it triggered go only to the history.
struct SubmitResult {
  OrderId order_id = 0;
  OrderStatus status = OrderStatus::New;
  std::vector<Trade> trades;
  uint64_t filled_quantity = 0;
  uint64_t resting_quantity = 0;
  uint64_t cancelled_quantity = 0;

  friend bool operator==(const SubmitResult&, const SubmitResult&) = default;
};

// On failure: success false, cancelled_quantity 0 and the error set.
struct CancelResult {
  bool success = false;
  uint64_t cancelled_quantity = 0;
  std::optional<CancelError> error;

  static CancelResult ok(uint64_t cancelled) { return {true, cancelled, std::nullopt}; }
  static CancelResult failed(CancelError e) { return {false, 0, e}; }

  friend bool operator==(const CancelResult&, const CancelResult&) = default;
};

// On success new_order_id names the replacement and trades are its fills; on
// failure there is no new id, nothing cancelled and no trades.
struct ModifyResult {
  bool success = false;
  OrderId old_order_id = 0;
  std::optional<OrderId> new_order_id;
  uint64_t cancelled_quantity = 0;
  std::vector<Trade> trades;
  std::optional<ModifyError> error;

  static ModifyResult failed(OrderId old_id, ModifyError e) {
    return {false, old_id, std::nullopt, 0, {}, e};
  }

  friend bool operator==(const ModifyResult&, const ModifyResult&) = default;
};

}  // namespace tessarin

#endif  // TESSARIN_RESULT_H_
