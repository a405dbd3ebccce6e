// The generators' random numbers: a xorshift sequence, so that every run
// with the same seed writes the same file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace toponyx::bench {

class Random {
 public:
  explicit constexpr Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  // 0 to n - 1.
  size_t Pick(size_t n) { return static_cast<size_t>(Next() % n); }
  // [0, 1).
  double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

 private:
  uint64_t state_;
};

}  // namespace toponyx::bench
