#include "event_json.h"

#include <cmath>
#include <string>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

#include "event_schema.h"
#include "format.h"
#include "saturating.h"

namespace tessarin {
namespace {

using event_schema::FieldKind;
using event_schema::Schema;
using nlohmann::json;

// ---- writing --------------------------------------------------------------------

template <class E>
void write_struct(std::string& out, const E& value);

void write_name(std::string& out, std::string_view name) {
  out += '"';
  out.append(name);
  out += '"';
}

void write_number(std::string& out, double value) {
  // JSON has no literal for NaN or infinities.
  out += std::isfinite(value) ? format_debug(value) : "null";
}

struct TrailWriter {
  std::string& out;
  void operator()(const TrailFixed& t) const { out += "{\"Fixed\":" + std::to_string(t.offset) + "}"; }
  void operator()(const TrailPercentage& t) const {
    out += "{\"Percentage\":";
    write_number(out, t.fraction);
    out += '}';
  }
  void operator()(const TrailSmaAbsChange& t) const {
    out += '{';
    write_name(out, Schema<TrailSmaAbsChange>::kName);
    out += ':';
    write_struct(out, t);
    out += '}';
  }
};

template <class T>
void write_value(std::string& out, const T& value) {
  if constexpr (std::is_same_v<T, double>) {
    write_number(out, value);
  } else if constexpr (std::is_same_v<T, Side>) {
    write_name(out, side_name(value));
  } else if constexpr (std::is_same_v<T, TimeInForce>) {
    write_name(out, tif_name(value));
  } else if constexpr (std::is_same_v<T, TrailMethod>) {
    std::visit(TrailWriter{out}, value);
  } else {
    static_assert(std::is_integral_v<T>);
    out += std::to_string(value);
  }
}

// {"field":value,...} in declaration order.
template <class E>
void write_struct(std::string& out, const E& value) {
  out += '{';
  bool first = true;
  event_schema::for_each_field<E>([&](const auto& f) {
    if (!first) out += ',';
    first = false;
    write_name(out, f.name);
    out += ':';
    write_value(out, value.*f.member);
  });
  out += '}';
}

// ---- reading --------------------------------------------------------------------

// How a JSON value is named in messages: integer `5`, string "buy", ...
std::string describe(const json& value) {
  switch (value.type()) {
    case json::value_t::null: return "null";
    case json::value_t::boolean: return std::string("boolean `") + (value.get<bool>() ? "true" : "false") + "`";
    case json::value_t::number_integer: return "integer `" + std::to_string(value.get<int64_t>()) + "`";
    case json::value_t::number_unsigned: return "integer `" + std::to_string(value.get<uint64_t>()) + "`";
    case json::value_t::number_float: return "floating point `" + format_debug(value.get<double>()) + "`";
    case json::value_t::string: return "string " + value.dump();
    case json::value_t::array: return "array";
    case json::value_t::object: return "object";
    default: return "value";
  }
}

std::string variant_list(std::initializer_list<std::string_view> names) {
  std::string out;
  for (std::string_view name : names) {
    if (!out.empty()) out += ", ";
    out += '`';
    out.append(name);
    out += '`';
  }
  return out;
}

std::string event_variant_list() {
  std::string out;
  event_schema::for_each_alternative([&](auto alt) {
    if (!out.empty()) out += ", ";
    out += '`';
    out.append(Schema<typename decltype(alt)::type>::kName);
    out += '`';
  });
  return out;
}

// Collects the first problem found; every read returns false once it is set.
class Reader {
 public:
  const std::string& error() const { return error_; }

  bool fail(std::string message) {
    error_ = std::move(message);
    return false;
  }

  bool read(const json& v, std::string_view field, int64_t& out) {
    if (v.type() == json::value_t::number_integer) {
      out = v.get<int64_t>();
      return true;
    }
    if (v.type() == json::value_t::number_unsigned) {
      const uint64_t u = v.get<uint64_t>();
      if (u > static_cast<uint64_t>(kI64Max)) return invalid_value(v, field, kSigned);
      out = static_cast<int64_t>(u);
      return true;
    }
    return invalid_type(v, field, kSigned);
  }

  bool read(const json& v, std::string_view field, uint64_t& out) {
    if (v.type() == json::value_t::number_unsigned) {
      out = v.get<uint64_t>();
      return true;
    }
    if (v.type() == json::value_t::number_integer) {
      const int64_t i = v.get<int64_t>();
      if (i < 0) return invalid_value(v, field, kUnsigned);
      out = static_cast<uint64_t>(i);
      return true;
    }
    return invalid_type(v, field, kUnsigned);
  }

  bool read(const json& v, std::string_view field, double& out) {
    if (!v.is_number()) return invalid_type(v, field, "a number");
    out = v.get<double>();
    return true;
  }

  bool read(const json& v, std::string_view field, Side& out) {
    return read_name(v, field, {Side::Buy, Side::Sell}, side_name, out);
  }

  bool read(const json& v, std::string_view field, TimeInForce& out) {
    return read_name(v, field, {TimeInForce::GTC, TimeInForce::IOC, TimeInForce::FOK}, tif_name, out);
  }

  bool read(const json& v, std::string_view field, TrailMethod& out) {
    if (!v.is_object() || v.size() != 1) {
      return invalid_type(v, field, "an object with one key naming the trail method");
    }
    const std::string& name = v.begin().key();
    const json& body = v.begin().value();
    if (name == "Fixed") return read_into<TrailFixed>(body, name, &TrailFixed::offset, out);
    if (name == "Percentage") return read_into<TrailPercentage>(body, name, &TrailPercentage::fraction, out);
    if (name == Schema<TrailSmaAbsChange>::kName) {
      TrailSmaAbsChange sma;
      if (!read_struct(body, sma)) return false;
      out = sma;
      return true;
    }
    return fail("unknown variant `" + name + "`, expected one of " +
                variant_list({"Fixed", "Percentage", Schema<TrailSmaAbsChange>::kName}));
  }

  // An object holding every field of E under its name (any order, extra names
  // ignored) or an array of exactly E's fields in declaration order.
  template <class E>
  bool read_struct(const json& v, E& out) {
    constexpr size_t kCount = event_schema::field_count<E>();
    const std::string name(Schema<E>::kName);
    if (v.is_array() && v.size() != kCount) {
      return fail("invalid length " + std::to_string(v.size()) + ", expected struct `" + name + "` with " +
                  std::to_string(kCount) + (kCount == 1 ? " field" : " fields"));
    }
    if (!v.is_array() && !v.is_object()) {
      return fail("invalid type: " + describe(v) + ", expected struct `" + name + "`");
    }
    bool ok = true;
    size_t index = 0;
    event_schema::for_each_field<E>([&](const auto& f) {
      const size_t position = index++;
      if (!ok) return;
      if (v.is_array()) {
        ok = read(v[position], f.name, out.*f.member);
        return;
      }
      const auto it = v.find(f.name);
      ok = it == v.end() ? fail("missing field `" + std::string(f.name) + "`")
                         : read(*it, f.name, out.*f.member);
    });
    return ok;
  }

 private:
  static constexpr std::string_view kSigned = "a signed 64-bit integer";
  static constexpr std::string_view kUnsigned = "an unsigned 64-bit integer";

  bool invalid_type(const json& v, std::string_view field, std::string_view expected) {
    return fail("invalid type: " + describe(v) + ", expected " + std::string(expected) + " in field `" +
                std::string(field) + "`");
  }

  bool invalid_value(const json& v, std::string_view field, std::string_view expected) {
    return fail("invalid value: " + describe(v) + ", expected " + std::string(expected) + " in field `" +
                std::string(field) + "`");
  }

  template <class Enum, size_t N, class NameFn>
  bool read_name(const json& v, std::string_view field, const Enum (&values)[N], NameFn name_of, Enum& out) {
    std::string expected;
    for (Enum e : values) expected += (expected.empty() ? "`" : ", `") + std::string(name_of(e)) + "`";
    if (!v.is_string()) return invalid_type(v, field, "one of " + expected);
    const std::string& text = v.get_ref<const std::string&>();
    for (Enum e : values) {
      if (text == name_of(e)) {
        out = e;
        return true;
      }
    }
    return fail("unknown variant `" + text + "`, expected one of " + expected + " in field `" +
                std::string(field) + "`");
  }

  // A trail rule whose one value stands for the whole rule ({"Fixed":100}).
  template <class Rule, class T>
  bool read_into(const json& body, std::string_view name, T Rule::*member, TrailMethod& out) {
    Rule rule;
    if (!read(body, name, rule.*member)) return false;
    out = rule;
    return true;
  }

  std::string error_;
};

// nlohmann keeps the last of duplicate keys silently; this callback remembers
// the first duplicate so the reader can refuse the text. Keys are tracked per
// nesting depth, which is stable whatever the callback returns elsewhere.
class DuplicateKeyGuard {
 public:
  bool operator()(int depth, json::parse_event_t event, const json& parsed) {
    const size_t d = static_cast<size_t>(depth);
    if (event == json::parse_event_t::object_start) {
      if (keys_.size() <= d) keys_.resize(d + 1);
      keys_[d].clear();
    } else if (event == json::parse_event_t::key && d >= 1 && d <= keys_.size()) {
      std::vector<std::string>& seen = keys_[d - 1];
      const std::string& key = parsed.get_ref<const std::string&>();
      for (const std::string& k : seen) {
        if (k == key && duplicate_.empty()) duplicate_ = key;
      }
      seen.push_back(key);
    }
    // Keep everything: discarding would skip later callbacks of the object.
    return true;
  }

  const std::string& duplicate() const { return duplicate_; }

 private:
  std::vector<std::vector<std::string>> keys_;
  std::string duplicate_;
};

// "[json.exception.parse_error.101] parse error at ..." without the tag.
std::string without_exception_tag(const char* what) {
  std::string message(what);
  if (!message.empty() && message.front() == '[') {
    const size_t end = message.find("] ");
    if (end != std::string::npos) message.erase(0, end + 2);
  }
  return message;
}

EventParse failure(std::string message) { return {std::nullopt, std::move(message)}; }

}  // namespace

std::string event_to_json(const Event& event) {
  return std::visit(
      [](const auto& e) {
        std::string out = "{";
        write_name(out, Schema<std::decay_t<decltype(e)>>::kName);
        out += ':';
        write_struct(out, e);
        out += '}';
        return out;
      },
      event);
}

EventParse event_from_json(std::string_view text) {
  DuplicateKeyGuard guard;
  json doc;
  try {
    doc = json::parse(text.begin(), text.end(),
                      [&guard](int depth, json::parse_event_t event, json& parsed) {
                        return guard(depth, event, parsed);
                      });
  } catch (const json::exception& e) {
    return failure(without_exception_tag(e.what()));
  }
  if (!guard.duplicate().empty()) return failure("duplicate field `" + guard.duplicate() + "`");
  if (!doc.is_object() || doc.size() != 1) {
    return failure("invalid type: " + describe(doc) +
                   (doc.is_object() ? " with " + std::to_string(doc.size()) + " keys" : std::string()) +
                   ", expected an object with one key naming the event variant");
  }
  const std::string& name = doc.begin().key();
  const json& body = doc.begin().value();
  Reader reader;
  std::optional<Event> event;
  bool known = false;
  event_schema::for_each_alternative([&](auto alt) {
    using E = typename decltype(alt)::type;
    if (known || name != Schema<E>::kName) return;
    known = true;
    E value;
    if (reader.read_struct(body, value)) event = value;
  });
  if (!known) return failure("unknown variant `" + name + "`, expected one of " + event_variant_list());
  if (!event) return failure(reader.error());
  return {event, {}};
}

}  // namespace tessarin
