#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>

#include "playback/play_order.h"
#include "startup/shared_state.h"

namespace {

SharedState stateWith(int count, std::uint64_t start = 1) {
  SharedState state;
  state.PlayCount = static_cast<std::int16_t>(count);
  state.random.startFrom(start);
  return state;
}

// True when PlayOrder's slots 1..count hold each of 1..count once.
bool isPermutation(const SharedState& state, int count) {
  std::vector<int> order(state.PlayOrder.begin() + 1, state.PlayOrder.begin() + 1 + count);
  std::sort(order.begin(), order.end());
  std::vector<int> expected(count);
  std::iota(expected.begin(), expected.end(), 1);
  return order == expected;
}

}  // namespace

TEST(PlayOrder, ShuffleMakesAPermutationAndLeavesHigherSlotsAlone) {
  for (int count : {1, 2, 3, 1000}) {
    for (std::uint64_t start = 1; start <= 5; ++start) {
      SharedState state = stateWith(count, start);
      if (count < kMaxPlayCount)
        state.PlayOrder[count + 1] = 77;
      state.PlayOrder[0] = 5;
      shufflePlayOrder(state);
      EXPECT_TRUE(isPermutation(state, count)) << count << " entries, start " << start;
      EXPECT_EQ(state.PlayOrder[0], 0);
      if (count < kMaxPlayCount) {
        EXPECT_EQ(state.PlayOrder[count + 1], 77) << "slots above PlayCount are not touched";
      }
    }
  }
}

TEST(PlayOrder, EveryPassLoadsEachSlotOnceAndReshufflesAtItsEnd) {
  SharedState state = stateWith(7, 42);
  shufflePlayOrder(state);  // as the window's activation does
  std::vector<std::set<int>> passes;
  for (int pass = 0; pass < 3; ++pass) {
    std::set<int> loaded;
    for (int i = 0; i < 7; ++i)
      loaded.insert(advancePlayPos(state));
    EXPECT_EQ(state.PlayPos, 7);
    passes.push_back(loaded);
  }
  for (const auto& loaded : passes)
    EXPECT_EQ(loaded, (std::set<int>{1, 2, 3, 4, 5, 6, 7}));
  const auto before = state.PlayOrder;
  advancePlayPos(state);
  EXPECT_EQ(state.PlayPos, 1);
  EXPECT_NE(before, state.PlayOrder) << "a new pass draws a new order (start chosen so)";
}

TEST(PlayOrder, NoEntriesLoadsTheEmptySlotZeroAndOneEntryWrapsEveryTime) {
  SharedState empty = stateWith(0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(advancePlayPos(empty), 0);
    EXPECT_EQ(empty.PlayPos, 1);
  }

  SharedState one = stateWith(1);
  shufflePlayOrder(one);
  EXPECT_EQ(advancePlayPos(one), 1);
  for (int i = 0; i < 4; ++i) {
    SharedState unshuffled = one;
    const double nextDraw = unshuffled.random.next();
    EXPECT_EQ(advancePlayPos(one), 1);
    EXPECT_EQ(one.PlayPos, 1);
    EXPECT_NE(one.random.next(), nextDraw)
        << "each wrap shuffles again, drawing from the generator";
  }
}

TEST(PlayOrder, FirstPositionsAreUniform) {
  constexpr int kCount = 5;
  constexpr int kShuffles = 20000;
  SharedState state = stateWith(kCount, 2024);
  std::array<int, kCount + 1> first{};
  std::array<int, kCount + 1> last{};
  for (int i = 0; i < kShuffles; ++i) {
    shufflePlayOrder(state);
    ++first[state.PlayOrder[1]];
    ++last[state.PlayOrder[kCount]];
  }
  // Chi-square with 4 degrees of freedom stays below 18.5 in all but one run
  // of a thousand.
  const double expected = static_cast<double>(kShuffles) / kCount;
  for (const auto* counts : {&first, &last}) {
    double chiSquare = 0;
    for (int n = 1; n <= kCount; ++n)
      chiSquare += ((*counts)[n] - expected) * ((*counts)[n] - expected) / expected;
    EXPECT_LT(chiSquare, 18.5);
  }
}
