#pragma once

#include <cstdint>
#include <map>

struct SharedState;

// The play order shared out between the players of several monitors: one
// pass of the play list for all of them, each player taking the next file
// of the pass when its clip ends, so every file still plays once a pass.
// When that file is on another monitor at the moment, the next file of the
// pass that is not takes its place, so no file shows on two monitors at once
// while the list holds at least as many files as there are players. When
// every file left of the pass is on other monitors (a long clip there, short
// ones here), they count as played in this pass and a new pass begins.
// With fewer files than players some file has to show twice.
//
// With one player this is the order of a single window exactly: PlayPos
// steps on, and a finished pass is shuffled anew.
class SharedPass {
 public:
  // The play-list slot for the player (any number that names it) to play
  // next; from now on that slot counts as shown on it.
  std::int16_t next(SharedState& state, int player);
  // The player shows nothing any more (its monitor went away).
  void leave(int player) { shown_.erase(player); }

 private:
  bool shownElsewhere(const SharedState& state, std::int16_t slot) const;
  bool bringForwardOneNotShown(SharedState& state) const;

  std::map<int, std::int16_t> shown_;  // what each other player shows, by player
};
