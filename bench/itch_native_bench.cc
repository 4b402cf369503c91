// Throughput of the native ITCH parser on a feed in the page cache: a streaming
// scan (one reused record, no output kept) and a whole import into a vector.
//
//   python3 tools/gen_itch.py build/itch-bench/feed.itch --size 1G
//   build/<dir>/itch_native_bench build/itch-bench/feed.itch [rounds]
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <variant>

#include "itch.h"

namespace {

using tessarin::ItchParser;
using tessarin::ItchRecord;
using tessarin::ItchStep;

struct Pass {
  double seconds = 0;
  uint64_t messages = 0;
  uint64_t pairs = 0;
  uint64_t checksum = 0;  // keeps the decoded fields alive past the optimiser
};

uint64_t checksum_of(const ItchRecord& r) {
  return std::visit(
      [&](const auto& e) -> uint64_t {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, tessarin::SubmitLimitEvent>) {
          return e.quantity + static_cast<uint64_t>(e.price) + r.symbol.size();
        } else if constexpr (std::is_same_v<E, tessarin::CancelEvent>) {
          return e.order_id;
        } else if constexpr (std::is_same_v<E, tessarin::ModifyEvent>) {
          return e.order_id + e.new_quantity;
        } else {
          return 0;
        }
      },
      r.event);
}

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] void die(const std::string& message) {
  std::fprintf(stderr, "itch_native_bench: %s\n", message.c_str());
  std::exit(1);
}

Pass scan(const std::string& path) {
  Pass pass;
  const double start = now();
  tessarin::ItchOpen opened = ItchParser::open(path);
  if (!opened.parser) die("cannot open " + path);
  ItchRecord record;
  ItchStep step;
  while ((step = opened.parser->next(record)) == ItchStep::kRecord) {
    ++pass.pairs;
    pass.checksum += checksum_of(record);
  }
  if (step == ItchStep::kError) die(opened.parser->error());
  pass.seconds = now() - start;
  pass.messages = opened.parser->messages_read();
  return pass;
}

Pass import(const std::string& path, uint64_t messages) {
  Pass pass;
  const double start = now();
  tessarin::ItchImport result = tessarin::import_itch(path);
  pass.seconds = now() - start;
  if (result.failure) die("import failed: " + result.failure->message);
  pass.messages = messages;
  pass.pairs = result.records.size();
  for (const ItchRecord& r : result.records) pass.checksum += checksum_of(r);
  return pass;
}

template <class F>
Pass best_of(int rounds, F&& run) {
  Pass best = run();
  for (int i = 1; i < rounds; ++i) {
    Pass p = run();
    if (p.seconds < best.seconds) best = p;
  }
  return best;
}

void report(const char* name, const Pass& p, double megabytes) {
  std::printf("%-8s %8.3f s  %7.1f M messages/s  %7.1f M pairs/s  %8.0f MB/s  (checksum %llu)\n",
              name, p.seconds, p.messages / p.seconds / 1e6, p.pairs / p.seconds / 1e6,
              megabytes / p.seconds, static_cast<unsigned long long>(p.checksum));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: itch_native_bench FEED [ROUNDS]\n"
                 "  make a feed with: python3 tools/gen_itch.py FEED --size 1G\n");
    return 2;
  }
  const std::string path = argv[1];
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) die("cannot stat " + path);
  const double megabytes = static_cast<double>(st.st_size) / 1e6;

  const Pass warm = scan(path);  // brings the file into the page cache
  std::printf("feed %s: %.1f MB, %llu messages, %llu pairs, %zu bytes per record\n", path.c_str(),
              megabytes, static_cast<unsigned long long>(warm.messages),
              static_cast<unsigned long long>(warm.pairs), sizeof(ItchRecord));
  report("scan", best_of(rounds, [&] { return scan(path); }), megabytes);
  const Pass imported = best_of(rounds, [&] { return import(path, warm.messages); });
  report("import", imported, megabytes);
  if (imported.pairs != warm.pairs || imported.checksum != warm.checksum) {
    die("the import and the scan disagree");
  }
  return 0;
}
