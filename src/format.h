// Text rendering of numbers shared by messages, reprs and the event form.
// Doubles are written in the shortest decimal form that reads back to the same
// double, always in positional notation (never with an exponent).
#ifndef TESSARIN_FORMAT_H_
#define TESSARIN_FORMAT_H_

#include <string>

namespace tessarin {

// Shortest round-trip form for messages: 1.0 -> "1", 0.05 -> "0.05",
// NaN -> "NaN", infinities -> "inf" / "-inf".
std::string format_shortest(double value);

// Shortest round-trip form that keeps a fractional part on whole values
// (2.0 -> "2.0"), as debug texts and the event form write doubles.
std::string format_debug(double value);

inline constexpr int kMaxFixedDecimals = 64;

// Fixed point with exactly `decimals` digits (clamped to 0..kMaxFixedDecimals),
// rounded half to even on the exact binary value; negative zero keeps its sign
// ("-0.00").
std::string format_fixed(double value, int decimals);

}  // namespace tessarin

#endif  // TESSARIN_FORMAT_H_
