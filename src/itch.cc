#include "itch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "side.h"
#include "tif.h"
#include "types.h"

namespace tessarin {
namespace {

// Each frame starts with its message length as a big-endian 16-bit count.
constexpr size_t kLengthBytes = 2;
constexpr size_t kMaxMessage = 0xFFFF;
// Room for a whole block plus the tail of a frame that straddled the last one.
constexpr size_t kBufferCapacity = ItchParser::kBlockSize + kLengthBytes + kMaxMessage;

// Minimum payload (bytes after the type byte) of each recognised message type.
constexpr size_t kAddPayload = 35;             // A, and F whose attribution is not read
constexpr size_t kExecutedPayload = 30;        // E
constexpr size_t kExecutedPricePayload = 35;   // C
constexpr size_t kCancelPayload = 22;          // X
constexpr size_t kDeletePayload = 18;          // D
constexpr size_t kReplacePayload = 34;         // U
constexpr size_t kTradePayload = 43;           // P (non-displayed order)
constexpr size_t kDirectoryPayload = 10;       // R

// Field offsets from the start of a message (the type byte is at 0).
namespace add {
constexpr size_t kSide = 19, kShares = 20, kStock = 24, kPrice = 32;
}
namespace cancel {
constexpr size_t kOrderRef = 11;
}
namespace replace {
constexpr size_t kOldOrderRef = 11, kShares = 27, kPrice = 31;
}
namespace directory {
constexpr size_t kLocate = 1, kText = 3;
}
constexpr size_t kStockBytes = 8;

// A feed has about one pair per this many bytes: framed adds are 38 bytes,
// deletes 21, and they make up most of a session.
constexpr uint64_t kFeedBytesPerPair = 32;

// Feed prices count 1/10,000 of a dollar; the engine counts cents and drops the
// sub-cent digits.
constexpr uint32_t kFeedUnitsPerCent = 100;

// The wire reads, checked where they are defined.
constexpr uint8_t kWireSample[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x88};
static_assert(read_be16(kWireSample) == 0x0102);
static_assert(read_be32(kWireSample) == 0x01020304);
static_assert(read_be48(kWireSample) == 0x010203040506);
static_assert(read_be64(kWireSample) == 0x0102030405060788);

Price price_at(const uint8_t* p) { return static_cast<Price>(read_be32(p) / kFeedUnitsPerCent); }

// ---- stock text -------------------------------------------------------------------

constexpr char32_t kReplacement = 0xFFFD;

// The Unicode White_Space property.
bool is_white_space(char32_t c) {
  if (c < 0x80) return c == ' ' || (c >= '\t' && c <= '\r');
  return c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
         c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Decodes UTF-8, replacing each maximal ill-formed subpart with U+FFFD (the
// practice Unicode recommends, and the one Python's "replace" handler follows).
// Returns the number of code points written to `out` (at most n).
size_t decode_utf8_lossy(const uint8_t* s, size_t n, char32_t* out) {
  size_t count = 0;
  for (size_t i = 0; i < n;) {
    const uint8_t lead = s[i];
    if (lead < 0x80) {
      out[count++] = lead;
      ++i;
      continue;
    }
    size_t length = 0;
    char32_t cp = 0;
    uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the next byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, cp = lead & 0x0F;
      if (lead == 0xE0) lo = 0xA0;  // no overlong forms
      if (lead == 0xED) hi = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, cp = lead & 0x07;
      if (lead == 0xF0) lo = 0x90;  // no overlong forms
      if (lead == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
      out[count++] = kReplacement;
      ++i;
      continue;
    }
    size_t taken = 1;
    for (; taken < length && i + taken < n; ++taken) {
      const uint8_t c = s[i + taken];
      if (c < lo || c > hi) break;
      cp = (cp << 6) | (c & 0x3F);
      lo = 0x80, hi = 0xBF;
    }
    out[count++] = taken == length ? cp : kReplacement;
    i += taken;
  }
  return count;
}

void append_utf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

[[gnu::noinline]] void decode_non_ascii_stock(const uint8_t* field, std::string& out) {
  std::array<char32_t, kStockBytes> cps{};
  size_t end = decode_utf8_lossy(field, kStockBytes, cps.data());
  size_t begin = 0;
  while (begin < end && is_white_space(cps[begin])) ++begin;
  while (end > begin && is_white_space(cps[end - 1])) --end;
  out.clear();
  for (size_t i = begin; i < end; ++i) append_utf8(cps[i], out);
}

// Stock fields are almost always ASCII padded with spaces: eight bytes at once.
constexpr uint64_t kHighBits = 0x8080808080808080ULL;
constexpr uint64_t kLowBits = 0x7F7F7F7F7F7F7F7FULL;
constexpr uint64_t kOnes = 0x0101010101010101ULL;

// The high bit of each byte of `v` that is zero. Exact: no carry crosses bytes.
constexpr uint64_t zero_bytes(uint64_t v) { return ~(((v & kLowBits) + kLowBits) | v) & kHighBits; }

// The high bit of each byte of an all-ASCII word that is whitespace: a space or
// '\t'..'\r'. Adding 0x80 - k sets a byte's high bit exactly when it is >= k.
constexpr uint64_t ascii_space_bytes(uint64_t v) {
  const uint64_t at_least_tab = v + (0x80 - '\t') * kOnes;
  const uint64_t past_cr = v + (0x80 - '\r' - 1) * kOnes;
  return (zero_bytes(v ^ (' ' * kOnes)) | (at_least_tab & ~past_cr)) & kHighBits;
}

size_t min_payload(uint8_t type) {
  switch (type) {
    case 'A':
    case 'F': return kAddPayload;
    case 'E': return kExecutedPayload;
    case 'C': return kExecutedPricePayload;
    case 'X': return kCancelPayload;
    case 'D': return kDeletePayload;
    case 'U': return kReplacePayload;
    case 'P': return kTradePayload;
    case 'R': return kDirectoryPayload;
    default: return 0;
  }
}

[[gnu::cold]] std::string too_short_text(uint8_t type, size_t payload) {
  return "ITCH '" + std::string(1, static_cast<char>(type)) + "' message too short: " +
         std::to_string(payload) + " bytes, need " + std::to_string(min_payload(type));
}

[[gnu::cold]] std::string read_failure_text(int read_errno) {
  // The words of an interrupted exact read, which is how a file that ends
  // inside a message shows up.
  if (read_errno == 0) return "failed to fill whole buffer";
  return std::generic_category().message(read_errno);
}

}  // namespace

void decode_stock_text(const uint8_t* field, std::string& out) {
  uint64_t word = 0;
  std::memcpy(&word, field, sizeof word);
  if (std::endian::native != std::endian::little || (word & kHighBits) != 0) {
    return decode_non_ascii_stock(field, out);
  }
  const uint64_t kept = ~ascii_space_bytes(word) & kHighBits;
  if (kept == 0) return out.clear();
  // Byte i of the field is byte i of the little-endian word.
  const size_t begin = static_cast<size_t>(std::countr_zero(kept)) / 8;
  const size_t end = 8 - static_cast<size_t>(std::countl_zero(kept)) / 8;
  out.assign(reinterpret_cast<const char*>(field) + begin, end - begin);
}

// ---- parser -----------------------------------------------------------------------

ItchOpen ItchParser::open(std::string_view path) {
  ItchOpen result;
  if (path.find('\0') != std::string_view::npos) {
    result.error_number = EINVAL;
    return result;
  }
  const std::string name(path);
  int fd = -1;
  do {
    fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    result.error_number = errno;
    return result;
  }
  try {
    result.parser.reset(new ItchParser(fd));
  } catch (...) {  // the buffer could not be allocated: the descriptor has no owner yet
    ::close(fd);
    throw;
  }
  return result;
}

ItchParser::ItchParser(int fd) : fd_(fd), buffer_(new uint8_t[kBufferCapacity]) {
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) file_bytes_ = static_cast<uint64_t>(st.st_size);
}

ItchParser::~ItchParser() { ::close(fd_); }

bool ItchParser::refill(size_t n) {
  uint8_t* data = buffer_.get();
  const size_t unread = end_ - begin_;
  if (begin_ != 0) {
    std::memmove(data, data + begin_, unread);
    begin_ = 0;
    end_ = unread;
  }
  while (end_ < n) {
    if (at_eof_ || read_errno_ != 0) return false;
    const ssize_t got = ::read(fd_, data + end_, kBufferCapacity - end_);
    if (got > 0) {
      end_ += static_cast<size_t>(got);
    } else if (got == 0) {
      at_eof_ = true;
    } else if (errno != EINTR) {
      read_errno_ = errno;
    }
  }
  return true;
}

ItchStep ItchParser::fail(std::string message) {
  error_ = std::move(message);
  done_ = true;
  final_step_ = ItchStep::kError;
  return ItchStep::kError;
}

ItchStep ItchParser::next(ItchRecord& record) {
  if (done_) return final_step_;
  for (;;) {
    // Any shortfall here, a read error included, is the end of the feed.
    if (!ensure(kLengthBytes)) {
      done_ = true;
      return final_step_;
    }
    const size_t size = read_be16(buffer_.get() + begin_);
    if (size == 0) return fail("ITCH message length is 0");
    if (!ensure(kLengthBytes + size)) return fail(read_failure_text(read_errno_));
    const uint8_t* msg = buffer_.get() + begin_ + kLengthBytes;
    begin_ += kLengthBytes + size;
    ++messages_;
    switch (decode(msg, size - 1, record)) {
      case Decoded::kRecord: return ItchStep::kRecord;
      case Decoded::kSkipped: continue;
      case Decoded::kTooShort: return fail(too_short_text(msg[0], size - 1));
    }
  }
}

// One switch on the type byte does both the length check and the decoding:
// the type sequence of a feed is random, so every extra branch on it costs a
// misprediction.
ItchParser::Decoded ItchParser::decode(const uint8_t* msg, size_t payload, ItchRecord& record) {
  switch (msg[0]) {
    case 'A':
    case 'F':
      if (payload < kAddPayload) return Decoded::kTooShort;
      decode_stock_text(msg + add::kStock, record.symbol);
      record.event.emplace<SubmitLimitEvent>(msg[add::kSide] == 'B' ? Side::Buy : Side::Sell,
                                             price_at(msg + add::kPrice),
                                             read_be32(msg + add::kShares), TimeInForce::GTC);
      return Decoded::kRecord;
    case 'X':
      if (payload < kCancelPayload) return Decoded::kTooShort;
      // The shares it names are ignored: the whole order is cancelled.
      record.symbol.clear();
      record.event.emplace<CancelEvent>(read_be64(msg + cancel::kOrderRef));
      return Decoded::kRecord;
    case 'D':
      if (payload < kDeletePayload) return Decoded::kTooShort;
      record.symbol.clear();
      record.event.emplace<CancelEvent>(read_be64(msg + cancel::kOrderRef));
      return Decoded::kRecord;
    case 'U':
      if (payload < kReplacePayload) return Decoded::kTooShort;
      record.symbol.clear();
      record.event.emplace<ModifyEvent>(read_be64(msg + replace::kOldOrderRef),
                                        price_at(msg + replace::kPrice),
                                        read_be32(msg + replace::kShares));
      return Decoded::kRecord;
    case 'E':
      return payload < kExecutedPayload ? Decoded::kTooShort : Decoded::kSkipped;
    case 'C':
      return payload < kExecutedPricePayload ? Decoded::kTooShort : Decoded::kSkipped;
    case 'P':
      return payload < kTradePayload ? Decoded::kTooShort : Decoded::kSkipped;
    case 'R':
      if (payload < kDirectoryPayload) return Decoded::kTooShort;
      decode_stock_text(msg + directory::kText, directory_[read_be16(msg + directory::kLocate)]);
      return Decoded::kSkipped;
    default:
      return Decoded::kSkipped;  // not an order-entry message: no length to check
  }
}

ItchImport import_itch(std::string_view path) {
  ItchImport result;
  ItchOpen opened = ItchParser::open(path);
  if (!opened.parser) {
    result.failure = ItchFailure{opened.error_number, {}};
    return result;
  }
  // Untouched capacity costs address space only, so a generous estimate saves
  // the copies of regrowth at no cost in memory actually used.
  result.records.reserve(opened.parser->file_bytes() / kFeedBytesPerPair);
  ItchRecord record;
  for (;;) {
    const ItchStep step = opened.parser->next(record);
    if (step == ItchStep::kEnd) return result;
    if (step == ItchStep::kError) {
      result.records = {};
      result.failure = ItchFailure{0, opened.parser->error()};
      return result;
    }
    result.records.push_back(std::move(record));
  }
}

}  // namespace tessarin
