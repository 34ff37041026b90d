#pragma once

#include <cstdint>
#include <random>

// The program's one random generator: uniform values in [0, 1), seeded once
// at start-up from the time of day.
class RandomSource {
 public:
  // Starts the sequence over from the given value (tests use fixed ones).
  void startFrom(std::uint64_t value) { engine_ = std::mt19937_64(value); }
  void seedFromTimeOfDay();
  double next();

 private:
  std::mt19937_64 engine_;
};
