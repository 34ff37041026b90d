#include <gtest/gtest.h>

#include "startup/command_help.h"
#include "startup/hack_mode.h"

namespace {

struct Case {
  QStringList arguments;
  QString variable;
  bool on;
  std::uint32_t window;
  bool preview;
  bool error;
};

}  // namespace

TEST(HackMode, TellsTheHostsWindowFromTheProgramsOwnModes) {
  const Case cases[] = {
      // The program's own command lines stay its own, whatever the host set.
      {{}, {}, false, 0, false, false},
      {{"/S"}, "0x400001", false, 0, false, false},
      {{"/p", "123"}, "0x400001", false, 0, false, false},
      // xscreensaver: hex in the variable and --root; alone: the root window.
      {{"--root"}, "0x400001", true, 0x400001, false, false},
      {{"-root"}, {}, true, 0, false, false},
      // xsecurelock and mate-screensaver: decimal, with no argument at all.
      {{}, "4194305", true, 4194305, false, false},
      // A preview names its window, which wins over the variable, in silence.
      {{"--window-id", "0x2a"}, "99", true, 42, true, false},
      {{"--root", "-window-id", "42"}, "99", true, 42, true, false},
      {{"--window-id=42"}, {}, true, 42, true, false},
      // No window number is no window.
      {{"--window-id"}, {}, true, 0, true, true},
      {{"--window-id", "0"}, {}, true, 0, true, true},
      {{"--root"}, "0x1g", true, 0, false, true},
      {{"--root"}, "4294967296", true, 0, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE((c.arguments.join(' ') + " / " + c.variable).toStdString());
    const HackMode mode = hackModeOf(c.arguments, c.variable);
    EXPECT_EQ(mode.on, c.on);
    if (!c.on)
      continue;
    EXPECT_EQ(mode.preview, c.preview);
    EXPECT_EQ(mode.error.isEmpty(), !c.error);
    if (!c.error) {
      EXPECT_EQ(mode.window, c.window);
    }
  }
}

TEST(CommandHelp, AnswersHelpAndVersionBeforeAnyMode) {
  EXPECT_EQ(commandHelpOf({"--help"}), CommandHelp::Help);
  EXPECT_EQ(commandHelpOf({"/S", "--version"}), CommandHelp::Version);
  EXPECT_EQ(commandHelpOf({"/S"}), CommandHelp::None);
  EXPECT_TRUE(versionText().startsWith("reelvista "));
}
