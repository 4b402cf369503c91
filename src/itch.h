// Import of NASDAQ ITCH 5.0 feeds. `ItchParser` reads a file of length-framed
// messages in large blocks and turns the order-entry messages (adds, cancels,
// deletes, replaces) into replayable Events, each paired with the instrument
// text; it owns the file descriptor, its read buffer and the stock directory.
//
// Invariants:
//   1. Frames are parsed from memory; the buffer always holds a whole frame
//      (at most 2 + 65535 bytes) before it is decoded.
//   2. Once next() has returned kEnd or kError it keeps returning it.
//   3. A parser serves one caller at a time; parsers share nothing.
#ifndef TESSARIN_ITCH_H_
#define TESSARIN_ITCH_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "event.h"

namespace tessarin {

// One output pair. Cancels and replaces name only an order reference, so their
// symbol is empty; adds carry the stock text of the message.
struct ItchRecord {
  std::string symbol;
  Event event;
};

enum class ItchStep : uint8_t {
  kRecord,  // the record was filled
  kEnd,     // the file ended at a frame boundary (or a lone byte after one)
  kError,   // a malformed frame: ItchParser::error() has the message
};

class ItchParser;

// The result of opening a feed: a parser, or the errno of the failed open.
struct ItchOpen {
  std::unique_ptr<ItchParser> parser;
  int error_number = 0;
};

// Why an import stopped: the open failed (errno set, no message), or the feed
// is malformed (the message users see).
struct ItchFailure {
  int open_errno = 0;
  std::string message;

  bool is_open_failure() const { return open_errno != 0; }
};

// A whole import: every pair in file order, or the failure (and no pairs).
struct ItchImport {
  std::vector<ItchRecord> records;
  std::optional<ItchFailure> failure;
};

class ItchParser {
 public:
  // Bytes asked of the kernel per read: large enough that system calls vanish
  // from the profile, small enough to stay in the L2/L3 caches while decoded.
  static constexpr size_t kBlockSize = size_t{1} << 20;

  // Opens `path` for reading. A path holding a NUL byte fails with EINVAL.
  static ItchOpen open(std::string_view path);

  ~ItchParser();
  ItchParser(const ItchParser&) = delete;
  ItchParser& operator=(const ItchParser&) = delete;

  // Decodes frames up to the next one that yields a pair and stores the pair in
  // `record`, reusing its storage. Other message types are checked and skipped.
  ItchStep next(ItchRecord& record);

  // The message of the failure after next() returned kError; empty before.
  const std::string& error() const { return error_; }

  // Size of the file when it was opened; 0 for pipes and other streams.
  uint64_t file_bytes() const { return file_bytes_; }

  // Frames decoded so far, of every type (the measure of feed throughput).
  uint64_t messages_read() const { return messages_; }

  // Locate code -> instrument text, from the stock-directory messages so far.
  const std::unordered_map<uint16_t, std::string>& stock_directory() const { return directory_; }

 private:
  explicit ItchParser(int fd);

  // True when at least `n` unread bytes are buffered, reading more if needed.
  // REQUIRES: n <= buffer capacity - kBlockSize.
  bool ensure(size_t n) { return end_ - begin_ >= n || refill(n); }
  [[gnu::noinline]] bool refill(size_t n);
  [[gnu::cold]] ItchStep fail(std::string message);
  enum class Decoded : uint8_t { kRecord, kSkipped, kTooShort };
  // Checks and decodes one message (type byte first, `payload` bytes after it).
  Decoded decode(const uint8_t* msg, size_t payload, ItchRecord& record);

  int fd_;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t begin_ = 0;  // unread bytes are [begin_, end_)
  size_t end_ = 0;
  bool at_eof_ = false;
  int read_errno_ = 0;  // set when a read failed
  bool done_ = false;
  ItchStep final_step_ = ItchStep::kEnd;
  uint64_t messages_ = 0;
  uint64_t file_bytes_ = 0;
  std::string error_;
  std::unordered_map<uint16_t, std::string> directory_;
};

// Reads the whole feed at `path`.
ItchImport import_itch(std::string_view path);

// Stores in `out` the instrument text of an 8-byte stock field: the bytes as
// UTF-8, each ill-formed sequence replaced by U+FFFD, then stripped of leading
// and trailing whitespace (the Unicode White_Space characters).
void decode_stock_text(const uint8_t* field, std::string& out);

// Unsigned big-endian reads of the wire format. REQUIRES: the bytes exist.
constexpr uint16_t read_be16(const uint8_t* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
constexpr uint32_t read_be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
constexpr uint64_t read_be48(const uint8_t* p) {
  return (uint64_t{read_be16(p)} << 32) | read_be32(p + 2);
}
constexpr uint64_t read_be64(const uint8_t* p) {
  return (uint64_t{read_be32(p)} << 32) | read_be32(p + 4);
}

}  // namespace tessarin

#endif  // TESSARIN_ITCH_H_
