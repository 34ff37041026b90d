#include "playback/play_order.h"

#include <algorithm>

#include "startup/shared_state.h"

namespace {

// A uniform number in 1 to count.
std::int16_t draw(SharedState& state, int count) {
  return static_cast<std::int16_t>(static_cast<int>(state.random.next() * count) + 1);
}

}  // namespace

void shufflePlayOrder(SharedState& state) {
  const int count = std::clamp<int>(state.PlayCount, 0, kMaxPlayCount);
  std::fill_n(state.PlayOrder.begin(), count + 1, std::int16_t{0});
  for (int i = 1; i <= count; ++i) {
    for (;;) {
      std::int16_t number = draw(state, count);
      bool repeat = false;
      // Slots at i and above still hold 0, so this meets only the numbers
      // placed so far. A hit draws again at once and scans on; the number
      // is kept only when a whole scan met no hit.
      for (int j = 1; j <= count; ++j) {
        if (state.PlayOrder[j] == number) {
          number = draw(state, count);
          repeat = true;
        }
      }
      if (!repeat) {
        state.PlayOrder[i] = number;
        break;
      }
    }
  }
}

std::int16_t advancePlayPos(SharedState& state) {
  ++state.PlayPos;
  if (state.PlayPos > state.PlayCount) {
    state.PlayPos = 1;
    shufflePlayOrder(state);
  }
  return state.PlayOrder[state.PlayPos];
}
