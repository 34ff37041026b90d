#include "startup/random_source.h"

#include <QTime>
#include <bit>

void RandomSource::seedFromTimeOfDay() {
  // Seconds since midnight, with fractions, start the sequence.
  const double seconds = QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
  startFrom(std::bit_cast<std::uint64_t>(seconds));
}

double RandomSource::next() {
  // The top 53 bits make a double in [0, 1); 1.0 itself can never come out.
  return static_cast<double>(engine_() >> 11) * 0x1.0p-53;
}
