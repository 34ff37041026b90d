#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "playback/play_order.h"
#include "playback/shared_pass.h"
#include "startup/shared_state.h"

namespace {

SharedState stateWith(int count, std::uint64_t start) {
  SharedState state;
  state.PlayCount = static_cast<std::int16_t>(count);
  for (int slot = 1; slot <= count; ++slot)
    state.PlayList[slot] = QStringLiteral("/clips/%1.mpg").arg(slot);
  state.random.startFrom(start);
  return state;
}

}  // namespace

// Players whose clips end in turn (all of one length) or at random (some
// long, some short): within a pass no file is handed out twice, in turn
// every pass hands out every file, and no file shows on two players at once.
TEST(SharedPass, EveryFileOnceAPassAndNoneOnTwoMonitorsAtOnce) {
  struct Case {
    int files;
    int players;
    bool inTurn;
  };
  for (const Case& test : {Case{7, 3, true}, Case{3, 3, true}, Case{5, 2, false}, Case{4, 3, false},
                           Case{30, 3, false}}) {
    SCOPED_TRACE(testing::Message() << test.files << " files, " << test.players << " players"
                                    << (test.inTurn ? " in turn" : " at random"));
    SharedState state = stateWith(test.files, 11);
    shufflePlayOrder(state);
    SharedPass pass;
    std::map<int, int> shown;
    std::set<int> thisPass;
    std::mt19937 ends(5);
    for (int player = 0; player < test.players; ++player)
      thisPass.insert(shown[player] = pass.next(state, player));
    for (int step = 0; step < 600; ++step) {
      const int player = test.inTurn ? step % test.players : int(ends() % test.players);
      const std::int16_t before = state.PlayPos;
      const int slot = pass.next(state, player);
      if (state.PlayPos <= before) {  // a new pass
        if (test.inTurn) {
          EXPECT_EQ(int(thisPass.size()), test.files) << "at step " << step;
        }
        thisPass.clear();
      }
      EXPECT_TRUE(thisPass.insert(slot).second) << "slot " << slot << " twice in a pass";
      shown[player] = slot;
      std::set<int> onScreen;
      for (const auto& [any, showing] : shown)
        onScreen.insert(showing);
      ASSERT_EQ(int(onScreen.size()), test.players) << "a file on two monitors at step " << step;
    }
  }
}

// One player takes exactly the order a single window takes; more players
// than files all still get one, and an empty list hands out slot 0.
TEST(SharedPass, OnePlayerIsThePlainOrderAndFewFilesStillGoRound) {
  SharedState shared = stateWith(6, 3);
  SharedState plain = stateWith(6, 3);
  SharedPass pass;
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(pass.next(shared, 0), advancePlayPos(plain));

  SharedState two = stateWith(2, 4);
  shufflePlayOrder(two);
  SharedPass three;
  std::set<int> handedOut;
  for (int player = 0; player < 3; ++player)
    handedOut.insert(three.next(two, player));
  EXPECT_EQ(handedOut, (std::set<int>{1, 2}));

  SharedState empty = stateWith(0, 1);
  EXPECT_EQ(three.next(empty, 0), 0);
  EXPECT_EQ(three.next(empty, 1), 0);
}
