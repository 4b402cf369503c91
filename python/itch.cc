// parse_itch: the Python face of the ITCH feed import. The core parser streams
// pairs one at a time and each becomes a (symbol, Event) tuple at once, so a
// large feed is never held twice (once natively, once as Python objects).
#include <Python.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>

#include "bind/bind.h"
#include "event.h"
#include "itch.h"
#include "registry.h"

namespace tessarin::python {
namespace {

// A feed repeats a few thousand instrument texts millions of times: one str per
// distinct text keeps the returned list small. Texts of up to 8 bytes (all real
// ones) are keyed by their zero-padded bytes, one table per length, so a lookup
// is an integer hash. Past kMaxCachedSymbols distinct texts (only a malformed or
// adversarial feed has them) new strs are made per pair, so memory stays bounded.
constexpr size_t kMaxCachedSymbols = size_t{1} << 16;
constexpr size_t kKeyBytes = sizeof(uint64_t);
// A large feed takes seconds while the interpreter lock is held: look for a
// pending Ctrl-C every this many pairs (a fraction of a second of work).
constexpr uint64_t kSignalCheckInterval = uint64_t{1} << 20;

class SymbolStrings {
 public:
  // A new reference to the str of `text`.
  PyObject* get(const std::string& text) {
    if (text.size() > kKeyBytes) return bind::to_py(std::string_view(text));
    uint64_t key = 0;
    std::memcpy(&key, text.data(), text.size());
    auto& table = by_length_[text.size()];
    auto it = table.find(key);
    if (it != table.end()) return Py_NewRef(it->second.get());
    bind::Ref str = bind::Ref::steal(bind::to_py(std::string_view(text)));
    if (cached_ < kMaxCachedSymbols) {
      table.emplace(key, bind::Ref::borrow(str.get()));
      ++cached_;
    }
    return str.release();
  }

 private:
  std::array<std::unordered_map<uint64_t, bind::Ref>, kKeyBytes + 1> by_length_;
  size_t cached_ = 0;
};

PyObject* pair_of(SymbolStrings& symbols, const ItchRecord& record) {
  bind::Ref tuple = bind::Ref::steal(bind::check(PyTuple_New(2)));
  PyTuple_SET_ITEM(tuple.get(), 0, symbols.get(record.symbol));
  PyTuple_SET_ITEM(tuple.get(), 1, bind::wrap<Event>(record.event));
  // Neither a str nor an Event refers to other objects, so the pair can never
  // be part of a cycle; untracked, the millions of pairs of a feed cost the
  // cyclic collector nothing (CPython untracks such tuples itself, but only
  // after a collection has visited them).
  PyObject_GC_UnTrack(tuple.get());
  return tuple.release();
}

[[noreturn]] void raise_open_error(int error_number, PyObject* path) {
  errno = error_number;
  PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path);
  throw bind::ErrorAlreadySet{};
}

PyObject* parse_itch(const bind::Args& a) {
  const std::string_view path = a.get<std::string_view>(0);
  ItchOpen opened = ItchParser::open(path);
  if (!opened.parser) raise_open_error(opened.error_number, a[0]);

  bind::Ref list = bind::Ref::steal(bind::check(PyList_New(0)));
  SymbolStrings symbols;
  ItchRecord record;
  // On any failure the pairs built so far are dropped with `list`.
  for (uint64_t count = 1;; ++count) {
    const ItchStep step = opened.parser->next(record);
    if (step == ItchStep::kEnd) return list.release();
    if (step == ItchStep::kError) bind::raise(PyExc_OSError, opened.parser->error());
    bind::Ref pair = bind::Ref::steal(pair_of(symbols, record));
    if (PyList_Append(list.get(), pair.get()) < 0) throw bind::ErrorAlreadySet{};
    if (count % kSignalCheckInterval == 0 && PyErr_CheckSignals() < 0) throw bind::ErrorAlreadySet{};
  }
}

constexpr char kParseItchSig[] = "parse_itch(path)";

PyMethodDef kItchFunctions[] = {
    bind::function<kParseItchSig, parse_itch>(),
    bind::kEndMethods,
};

}  // namespace

int add_itch_functions(PyObject* module) { return PyModule_AddFunctions(module, kItchFunctions); }

}  // namespace tessarin::python
