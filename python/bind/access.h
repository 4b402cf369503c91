// The per-object access flag: any number of readers or one writer at a time.
// A call that cannot get the access it needs fails at once (no waiting), which
// refuses re-entrant use from the same thread and, on free-threaded builds,
// simultaneous use from several threads.
#ifndef TESSARIN_PYTHON_BIND_ACCESS_H_
#define TESSARIN_PYTHON_BIND_ACCESS_H_

#include <Python.h>

#include <atomic>
#include <cstdint>

#include "bind/errors.h"

namespace tessarin::bind {

inline constexpr char kAlreadyBorrowed[] = "Already borrowed";
inline constexpr char kAlreadyMutablyBorrowed[] = "Already mutably borrowed";

enum class Access { kShared, kExclusive };

class AccessFlag {
 public:
  bool try_shared() {
    int32_t state = state_.load(std::memory_order_relaxed);
    while (state >= 0) {
      if (state_.compare_exchange_weak(state, state + 1, std::memory_order_acquire)) return true;
    }
    return false;
  }
  void release_shared() { state_.fetch_sub(1, std::memory_order_release); }

  bool try_exclusive() {
    int32_t expected = 0;
    return state_.compare_exchange_strong(expected, kExclusive, std::memory_order_acquire);
  }
  void release_exclusive() { state_.store(0, std::memory_order_release); }

 private:
  static constexpr int32_t kExclusive = -1;
  std::atomic<int32_t> state_{0};  // readers count, or kExclusive
};

// Holds shared or exclusive access for one call; raises RuntimeError when refused.
template <Access A>
class AccessGuard {
 public:
  explicit AccessGuard(AccessFlag& flag) : flag_(flag) {
    if constexpr (A == Access::kExclusive) {
      if (!flag_.try_exclusive()) raise(PyExc_RuntimeError, kAlreadyBorrowed);
    } else {
      if (!flag_.try_shared()) raise(PyExc_RuntimeError, kAlreadyMutablyBorrowed);
    }
  }
  ~AccessGuard() {
    if constexpr (A == Access::kExclusive) {
      flag_.release_exclusive();
    } else {
      flag_.release_shared();
    }
  }
  AccessGuard(const AccessGuard&) = delete;
  AccessGuard& operator=(const AccessGuard&) = delete;

 private:
  AccessFlag& flag_;
};

// Releases the interpreter lock for a scope of pure native work on owned values.
// No Python object may be touched inside the scope.
class ReleasedInterpreterLock {
 public:
  ReleasedInterpreterLock() : state_(PyEval_SaveThread()) {}
  ~ReleasedInterpreterLock() { PyEval_RestoreThread(state_); }
  ReleasedInterpreterLock(const ReleasedInterpreterLock&) = delete;
  ReleasedInterpreterLock& operator=(const ReleasedInterpreterLock&) = delete;

 private:
  PyThreadState* state_;
};

}  // namespace tessarin::bind

#endif  // TESSARIN_PYTHON_BIND_ACCESS_H_
