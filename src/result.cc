#include "result.h"

namespace tessarin {

std::string_view cancel_error_name(CancelError error) {
  switch (error) {
    case CancelError::OrderNotFound: return "OrderNotFound";
    case CancelError::OrderNotActive: return "OrderNotActive";
  }
  return "OrderNotFound";  // unreachable: every enumerator is handled above
}

std::string_view modify_error_name(ModifyError error) {
  switch (error) {
    case ModifyError::OrderNotFound: return "OrderNotFound";
    case ModifyError::OrderNotActive: return "OrderNotActive";
    case ModifyError::InvalidQuantity: return "InvalidQuantity";
  }
  return "OrderNotFound";  // unreachable: every enumerator is handled above
}

}  // namespace tessarin
