#include <gtest/gtest.h>

#include <QWidget>

#include "platform/errors.h"
#include "platform/scripted/scripted_platform.h"
#include "startup/exit_saver.h"
#include "startup/program.h"
#include "support/qt_printers.h"

using platform::ProgramEnded;
using platform::scripted::ScriptedPlatform;
using platform::scripted::ScriptedPlayer;

namespace {

// The saver as the playback window leaves it: pointer hidden, the player in
// a window, every sign of the user handed to ExitSaver.
class Saver {
 public:
  Saver() {
    canvas.setObjectName("canvas");
    desktop.desktop.cursorCount = -1;
    desktop.desktop.runRealEvents = false;
    for (auto signal :
         {&ScriptedPlayer::KeyDown, &ScriptedPlayer::MouseDown, &ScriptedPlayer::LostFocus}) {
      QObject::connect(&player, signal, [this] { ExitSaver(program, player, canvas); });
    }
  }

  // A key press; true when it ended the program.
  bool key() {
    try {
      player.raiseKeyDown();
    } catch (const ProgramEnded& ended) {
      EXPECT_EQ(ended.status, 0);
      return true;
    }
    return false;
  }

  std::size_t prompts() const { return desktop.passwordPrompt.owners.size(); }

  ScriptedPlatform desktop;
  Program program{desktop.platform, {}};
  QWidget canvas;
  ScriptedPlayer player{&canvas};
};

}  // namespace

TEST(ExitSaver, WithoutThePasswordSettingAKeyEndsAtOnceWithThePointerShown) {
  Saver saver;
  EXPECT_TRUE(saver.key());
  EXPECT_EQ(saver.prompts(), 0u);
  EXPECT_EQ(saver.player.calls, QStringList{"invoke 2003"});
  EXPECT_EQ(saver.desktop.desktop.saverStoppedCalls, 1);
  // Shown to 0 first, then once more after the pending events ran.
  EXPECT_EQ(saver.desktop.desktop.cursorCount, 1);
  EXPECT_EQ(saver.desktop.desktop.eventRuns, 2);
  EXPECT_TRUE(saver.program.state.Exiting);
  EXPECT_EQ(saver.desktop.process.endings, std::vector<int>{0});
}

TEST(ExitSaver, OnlyANumberReadingExactly1AsksForThePassword) {
  struct Case {
    const char* what;
    std::function<void(platform::scripted::ScriptedUserRegistry&)> set;
    bool asks;
  };
  const QString key = "Control Panel\\Desktop";
  const QString name = "ScreenSaveUsePassword";
  const Case cases[] = {
      {"dword 1", [](auto& store) { store.requirePassword(1); }, true},
      {"dword 2", [](auto& store) { store.requirePassword(2); }, false},
      {"dword 0x101", [](auto& store) { store.requirePassword(0x101); }, false},
      {"text 1", [&](auto& store) { store.setString(key, name, "1"); }, false},
      {"bytes 01", [&](auto& store) { store.values[platform::registryPath(key, name)] = "\x01"; },
       true},
      {"another value", [&](auto& store) { store.setDword(key, "ScreenSaveActive", 1); }, false},
  };
  for (const Case& c : cases) {
    Saver saver;
    c.set(saver.desktop.userRegistry);
    saver.desktop.passwordPrompt.passes = true;
    EXPECT_TRUE(saver.key()) << c.what;
    EXPECT_EQ(saver.prompts(), c.asks ? 1u : 0u) << c.what;
  }
}

TEST(ExitSaver, APassedPromptOwnedByThePlaybackWindowEndsTheSaver) {
  Saver saver;
  saver.desktop.userRegistry.requirePassword();
  int pointerAtPrompt = -99;
  int stopsAtPrompt = -1;
  saver.desktop.passwordPrompt.onVerify = [&](QWidget&) {
    pointerAtPrompt = saver.desktop.desktop.cursorCount;
    stopsAtPrompt = saver.desktop.desktop.saverStoppedCalls;
  };
  EXPECT_TRUE(saver.key());
  ASSERT_EQ(saver.prompts(), 1u);
  EXPECT_EQ(saver.desktop.passwordPrompt.owners[0], &saver.canvas);
  EXPECT_EQ(pointerAtPrompt, 0) << "the pointer is visible during the prompt";
  EXPECT_EQ(stopsAtPrompt, 0);
  EXPECT_EQ(saver.player.calls, QStringList{"invoke 2003"});
  EXPECT_EQ(saver.desktop.desktop.saverStoppedCalls, 1);
  EXPECT_GE(saver.desktop.desktop.cursorCount, 0);
}

TEST(ExitSaver, ARefusedPromptReturnsToPlaybackAndTheNextKeyAsksAgain) {
  Saver saver;
  saver.desktop.userRegistry.requirePassword();
  saver.desktop.passwordPrompt.passes = false;
  EXPECT_FALSE(saver.key());
  EXPECT_EQ(saver.prompts(), 1u);
  EXPECT_FALSE(saver.program.state.Exiting);
  EXPECT_EQ(saver.desktop.desktop.cursorCount, -1) << "the pointer is hidden again";
  EXPECT_TRUE(saver.player.calls.isEmpty()) << "the player is not touched";
  EXPECT_EQ(saver.desktop.desktop.saverStoppedCalls, 0);
  EXPECT_TRUE(saver.desktop.process.endings.empty());

  EXPECT_FALSE(saver.key());
  EXPECT_EQ(saver.prompts(), 2u);
  saver.desktop.passwordPrompt.passes = true;
  EXPECT_TRUE(saver.key());
  EXPECT_EQ(saver.prompts(), 3u);
}

TEST(ExitSaver, EventsArrivingWhileItRunsLeadToExactlyOnePrompt) {
  for (const bool passes : {false, true}) {
    Saver saver;
    saver.desktop.userRegistry.requirePassword();
    saver.desktop.passwordPrompt.passes = passes;
    // The prompt takes the focus from the player, and more keys follow.
    saver.desktop.passwordPrompt.onVerify = [&](QWidget&) {
      const int pointer = saver.desktop.desktop.cursorCount;
      saver.player.raiseLostFocus();
      saver.player.raiseKeyDown();
      saver.player.raiseMouseDown();
      EXPECT_EQ(saver.desktop.desktop.cursorCount, pointer) << "nested calls return at once";
    };
    // Pending events run while the saver ends: the key's own focus loss.
    saver.desktop.desktop.onLetEventsRun = [&] { saver.player.raiseLostFocus(); };
    EXPECT_EQ(saver.key(), passes);
    EXPECT_EQ(saver.prompts(), 1u);
    EXPECT_EQ(saver.desktop.process.endings.size(), passes ? 1u : 0u);
  }
}

// The guard decides the lock once, at its start: a locked run asks for the
// password even when the settings no longer say so (the file was removed or
// damaged while locked).
TEST(ExitSaver, ALockedRunAsksForThePasswordWhateverTheSettingsSayNow) {
  Saver locked;
  locked.desktop.guard.lockedByTheGuard = true;
  locked.desktop.passwordPrompt.passes = false;
  EXPECT_FALSE(locked.key());
  EXPECT_EQ(locked.prompts(), 1u);
  EXPECT_TRUE(locked.desktop.process.endings.empty());
}

// The guard keeps a locked screen covered until it hears "unlocked", so only
// a passed or absent check may say it, and only as the program ends.
TEST(ExitSaver, TheGuardHearsUnlockedOnlyAsThePassedSaverEnds) {
  for (const bool required : {false, true}) {
    Saver saver;
    if (required)
      saver.desktop.userRegistry.requirePassword();
    QStringList sentBeforeTheEnd = {"not run"};
    saver.desktop.desktop.onLetEventsRun = [&] { sentBeforeTheEnd = saver.desktop.guard.sent; };
    saver.desktop.passwordPrompt.passes = false;
    if (required) {
      EXPECT_FALSE(saver.key());
      EXPECT_TRUE(saver.desktop.guard.sent.isEmpty()) << "a refused password says nothing";
    }
    saver.desktop.passwordPrompt.passes = true;
    EXPECT_TRUE(saver.key());
    EXPECT_TRUE(sentBeforeTheEnd.isEmpty()) << required;
    EXPECT_EQ(saver.desktop.guard.sent, QStringList{"unlocked"}) << required;
  }
}
