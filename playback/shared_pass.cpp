#include "playback/shared_pass.h"

#include <utility>

#include "playback/play_order.h"
#include "startup/shared_state.h"

std::int16_t SharedPass::next(SharedState& state, int player) {
  shown_.erase(player);  // its own clip has ended
  advancePlayPos(state);
  if (!bringForwardOneNotShown(state) &&
      std::cmp_greater(state.PlayCount, static_cast<int>(shown_.size()))) {
    state.PlayPos = 1;
    shufflePlayOrder(state);
    bringForwardOneNotShown(state);
  }
  const std::int16_t slot = state.PlayOrder[state.PlayPos];
  shown_[player] = slot;
  return slot;
}

// The same file may stand in the list twice; an empty entry plays nothing
// and so is never in the way.
bool SharedPass::shownElsewhere(const SharedState& state, std::int16_t slot) const {
  const QString& path = state.PlayList.at(slot);
  if (path.isEmpty())
    return false;
  for (const auto& [player, shown] : shown_) {
    if (state.PlayList.at(shown) == path)
      return true;
  }
  return false;
}

// Swaps the first position from PlayPos on whose file no other monitor
// shows into PlayPos; the pass keeps every file once. False when there is
// none.
bool SharedPass::bringForwardOneNotShown(SharedState& state) const {
  for (int at = state.PlayPos; at <= state.PlayCount; ++at) {
    if (!shownElsewhere(state, state.PlayOrder[at])) {
      std::swap(state.PlayOrder[state.PlayPos], state.PlayOrder[at]);
      return true;
    }
  }
  return state.PlayCount <= 0;
}
