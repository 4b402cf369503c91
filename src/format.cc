#include "format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tessarin {
namespace {

// Writes the shortest round-trip digits of a finite value positionally.
std::string positional_shortest(double value) {
  // Scientific form gives the significant digits and the decimal exponent
  // separately, e.g. "-1.2345e-07".
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  std::string_view text(buf, static_cast<size_t>(end - buf));
  std::string out;
  if (text.front() == '-') {
    out.push_back('-');
    text.remove_prefix(1);
  }
  const size_t e_pos = text.find('e');
  const int exponent = std::atoi(std::string(text.substr(e_pos + 1)).c_str());
  std::string digits;
  for (char c : text.substr(0, e_pos)) {
    if (c != '.') digits.push_back(c);
  }
  const int point = exponent + 1;  // digits before the decimal point
  const int n = static_cast<int>(digits.size());
  if (point <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-point), '0');
    out += digits;
  } else if (point >= n) {
    out += digits;
    out.append(static_cast<size_t>(point - n), '0');
  } else {
    out.append(digits, 0, static_cast<size_t>(point));
    out.push_back('.');
    out.append(digits, static_cast<size_t>(point), std::string::npos);
  }
  return out;
}

const char* non_finite_text(double value) {
  if (std::isnan(value)) return "NaN";
  return value > 0 ? "inf" : "-inf";
}

}  // namespace

std::string format_shortest(double value) {
  if (!std::isfinite(value)) return non_finite_text(value);
  return positional_shortest(value);
}

std::string format_debug(double value) {
  if (!std::isfinite(value)) return non_finite_text(value);
  std::string out = positional_shortest(value);
  if (out.find('.') == std::string::npos) out += ".0";
  return out;
}

std::string format_fixed(double value, int decimals) {
  if (!std::isfinite(value)) return non_finite_text(value);
  decimals = std::clamp(decimals, 0, kMaxFixedDecimals);
  // Room for the largest double (309 integer digits), sign, point and decimals.
  char buf[312 + kMaxFixedDecimals];
  // glibc's printf rounds the exact binary value half to even and keeps the
  // sign of negative zero, which is the rounding the texts promise.
  const int size = std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  return std::string(buf, static_cast<size_t>(size));
}

}  // namespace tessarin
