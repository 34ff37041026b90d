#pragma once

#include <cstdint>
#include <random>

// The program's one random generator: uniform values in [0, 1), seeded once
// at start-up from the time of day.
class RandomSource {
 public:
  void seed(std::uint64_t value) { engine_.seed(value); }
  void seedFromTimeOfDay();
  double next();

 private:
  std::mt19937_64 engine_;
};
