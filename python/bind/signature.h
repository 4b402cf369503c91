// Text signatures: each binding is declared by the signature text CPython shows
// (`name($self, a, b=1, *, c=None)`). The text is parsed at compile time into the
// parameter table the argument binder uses, and is also the head of the
// docstring, which is where `__text_signature__` comes from.
#ifndef TESSARIN_PYTHON_BIND_SIGNATURE_H_
#define TESSARIN_PYTHON_BIND_SIGNATURE_H_

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tessarin::bind {

inline constexpr size_t kMaxParams = 16;

struct Param {
  std::string_view name;
  bool has_default = false;
  bool keyword_only = false;
};

struct Signature {
  std::string_view name;
  std::array<Param, kMaxParams> params{};
  size_t count = 0;       // parameters, without $self / $cls
  size_t positional = 0;  // parameters that may be passed by position
  size_t required_positional = 0;
  bool required_keyword_only = false;
  bool invalid = false;   // malformed text: a compile-time error where it is used

  constexpr int index_of(std::string_view param) const {
    for (size_t i = 0; i < count; ++i) {
      if (params[i].name == param) return static_cast<int>(i);
    }
    return -1;
  }
};

namespace detail {

constexpr std::string_view trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Splits the parameter list at top-level commas (defaults may be quoted strings
// or bracketed literals that contain commas).
constexpr size_t next_comma(std::string_view s, size_t from) {
  int depth = 0;
  char quote = 0;
  for (size_t i = from; i < s.size(); ++i) {
    const char c = s[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '(' || c == '[' || c == '{') {
      ++depth;
    } else if (c == ')' || c == ']' || c == '}') {
      --depth;
    } else if (c == ',' && depth == 0) {
      return i;
    }
  }
  return s.size();
}

}  // namespace detail

constexpr Signature parse_signature(std::string_view text) {
  Signature sig;
  const size_t open = text.find('(');
  if (open == std::string_view::npos || text.back() != ')') {
    sig.invalid = true;
    return sig;
  }
  sig.name = text.substr(0, open);
  const std::string_view list = text.substr(open + 1, text.size() - open - 2);
  bool keyword_only = false;
  for (size_t start = 0; start < list.size();) {
    const size_t end = detail::next_comma(list, start);
    const std::string_view item = detail::trim(list.substr(start, end - start));
    start = end + 1;
    if (item.empty() || item == "/") continue;
    if (item == "*") {
      keyword_only = true;
      continue;
    }
    if (item.front() == '$') continue;  // $self, $cls, $module
    if (sig.count == kMaxParams) {
      sig.invalid = true;
      return sig;
    }
    const size_t eq = item.find('=');
    Param& p = sig.params[sig.count++];
    p.name = detail::trim(item.substr(0, eq));
    p.has_default = eq != std::string_view::npos;
    p.keyword_only = keyword_only;
    if (keyword_only && !p.has_default) sig.required_keyword_only = true;
    if (!keyword_only) {
      ++sig.positional;
      if (!p.has_default) sig.required_positional = sig.positional;
    }
  }
  return sig;
}

// The parsed table of a signature text given as a template argument.
template <const char* Text>
inline constexpr Signature kSignature = [] {
  constexpr Signature sig = parse_signature(Text);
  static_assert(!sig.invalid, "malformed text signature");
  return sig;
}();

// A fixed-size, NUL-terminated text built at compile time.
template <size_t N>
struct FixedText {
  char data[N]{};
  constexpr const char* c_str() const { return data; }
};

// The docstring CPython reads a text signature from: "sig\n--\n\ndoc".
template <const char* Sig, const char* Doc>
inline constexpr auto kDocString = [] {
  constexpr std::string_view sig(Sig);
  constexpr std::string_view doc(Doc);
  constexpr std::string_view sep = "\n--\n\n";
  FixedText<sig.size() + sep.size() + doc.size() + 1> out;
  size_t i = 0;
  for (char c : sig) out.data[i++] = c;
  for (char c : sep) out.data[i++] = c;
  for (char c : doc) out.data[i++] = c;
  return out;
}();

// The function name of a signature text, NUL-terminated.
template <const char* Sig>
inline constexpr auto kFunctionName = [] {
  constexpr std::string_view name = kSignature<Sig>.name;
  FixedText<name.size() + 1> out;
  for (size_t i = 0; i < name.size(); ++i) out.data[i] = name[i];
  return out;
}();

inline constexpr char kNoDoc[] = "";

}  // namespace tessarin::bind

#endif  // TESSARIN_PYTHON_BIND_SIGNATURE_H_
