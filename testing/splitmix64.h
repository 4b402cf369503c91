// The seeded generator of the C++ tests and benchmarks: splitmix64, tiny and
// the same stream on every platform, so a printed seed reproduces a run.
#ifndef TESSARIN_TESTING_SPLITMIX64_H_
#define TESSARIN_TESTING_SPLITMIX64_H_

#include <cstdint>

namespace tessarin::testing_support {

class SplitMix64 {
 public:
  explicit SplitMix64(uint64_t seed) : state_(seed) {}

  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform enough for tests and benchmarks in [0, n). REQUIRES: n > 0.
  uint64_t below(uint64_t n) { return next() % n; }
  // Uniform in [0, 1) with 53 random bits.
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

 private:
  uint64_t state_;
};

}  // namespace tessarin::testing_support

#endif  // TESSARIN_TESTING_SPLITMIX64_H_
