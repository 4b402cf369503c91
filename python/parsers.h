// The shared argument parsers of the Python layer: side, time in force and
// symbol strings, with the messages every area reports for a bad value.
#ifndef TESSARIN_PYTHON_PARSERS_H_
#define TESSARIN_PYTHON_PARSERS_H_

#include <Python.h>

#include <string_view>

#include "bind/bind.h"
#include "side.h"
#include "tif.h"
#include "types.h"

namespace tessarin::python {

// Whether `text`, lowercased in ASCII only (no Unicode case folding, no
// trimming), equals `lower`.
bool equals_ascii_lower(std::string_view text, std::string_view lower);

// "buy"/"b" and "sell"/"s", ASCII case-insensitive; anything else raises
// ValueError quoting the argument exactly as passed.
Side parse_side(std::string_view text);
// "gtc", "ioc", "fok", ASCII case-insensitive.
TimeInForce parse_tif(std::string_view text);
// At most 8 UTF-8 bytes, stored unchanged.
Symbol parse_symbol(std::string_view text);

// The same, reading parameter i of a call (which must be a str).
inline Side side_arg(const bind::Args& a, size_t i) { return parse_side(a.get<std::string_view>(i)); }
inline TimeInForce tif_arg(const bind::Args& a, size_t i, TimeInForce fallback = TimeInForce::GTC) {
  return a.has(i) ? parse_tif(a.get<std::string_view>(i)) : fallback;
}
inline Symbol symbol_arg(const bind::Args& a, size_t i) { return parse_symbol(a.get<std::string_view>(i)); }

// Output texts: "buy"/"sell", "gtc"/"ioc"/"fok".
std::string_view side_text(Side side);
std::string_view tif_text(TimeInForce tif);

}  // namespace tessarin::python

#endif  // TESSARIN_PYTHON_PARSERS_H_
