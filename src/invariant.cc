#include "invariant.h"

namespace tessarin {

void invariant_failure(const std::string& message) { throw InvariantFailure(message); }

}  // namespace tessarin
