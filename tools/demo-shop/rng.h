#pragma once
// The demo shop's only source of chance: a fixed-seed generator whose sequence is the same on every
// machine and compiler (the standard distributions are not), so that tests can rely on the data.
#include <cstdint>
#include <string_view>
#include <vector>

namespace demo {

class Rng {
  public:
    explicit Rng(uint64_t seed) : state_(seed) {}

    // splitmix64
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // 0 <= result < n (n > 0).
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
    // lo <= result <= hi.
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    // 0 <= result < 1.
    double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    double between(double lo, double hi) { return lo + (hi - lo) * unit(); }
    bool chance(double p) { return unit() < p; }
    template <typename T>
    const T& pick(const std::vector<T>& items) {
        return items[static_cast<size_t>(below(static_cast<int>(items.size())))];
    }

  private:
    uint64_t state_;
};

}  // namespace demo
