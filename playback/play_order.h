#pragma once

#include <cstdint>

struct SharedState;

// The random order the saver plays the play list in: every entry once a
// pass, a new order each pass.

// Rebuilds PlayOrder as a random permutation of the slots 1 to PlayCount,
// slot 0 cleared. Rejection sampling inside PlayOrder alone: a number drawn
// is kept only after a full scan of the order finds it nowhere.
void shufflePlayOrder(SharedState& state);

// Steps PlayPos to the next position, reshuffling when a pass is complete,
// and returns the play-list slot to play there.
std::int16_t advancePlayPos(SharedState& state);
