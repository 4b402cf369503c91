// Invariant failures: states that the public operations cannot produce.
// The core reports ordinary failures as values; a broken invariant is a bug and
// throws the one exception type below, which the Python module maps to its
// BaseException-derived internal-failure class.
#ifndef TESSARIN_INVARIANT_H_
#define TESSARIN_INVARIANT_H_

#include <stdexcept>
#include <string>

namespace tessarin {

class InvariantFailure : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// Throws InvariantFailure with `message`.
[[noreturn]] void invariant_failure(const std::string& message);

// Checks a condition that must hold; `message` is only built on failure when the
// caller passes a string literal.
inline void check_invariant(bool condition, const char* message) {
  if (!condition) invariant_failure(message);
}

}  // namespace tessarin

#endif  // TESSARIN_INVARIANT_H_
