// The built program, started as the desktop would start it.
#include <gtest/gtest.h>

#include "support/program_run.h"
#include "support/screen.h"
#include "support/wait.h"

namespace {

// The dialog as a person sees it: its face and white fields fill most of it,
// its captions and labels are drawn on them, and nothing black lies over it.
bool dialogIsDrawn(const QRect& dialog) {
  const QImage pixels = screen::grab(dialog);
  const double light = screen::shareOf(pixels, [](const QColor& c) { return c.lightness() > 180; });
  const double ink = screen::shareOf(pixels, [](const QColor& c) { return c.lightness() < 80; });
  return light > 0.7 && ink > 0.005 && ink < 0.2;
}

}  // namespace

class ProgramStartup : public testing::Test {
 protected:
  void SetUp() override {
    if (!haveDisplay())
      GTEST_SKIP() << "needs an X display; ./x test provides one";
  }
};

TEST_F(ProgramStartup, PreviewAndAnEmptySettingsFileEndAtOnceWithoutAWindow) {
  ProgramRun preview;
  preview.writeSettingsFile("\r\n*.AVI\r\n");
  preview.start({"/p", "1234"});
  EXPECT_EQ(preview.waitForExit(10000), 0);

  ProgramRun empty;
  empty.writeSettingsFile("");
  empty.start({"/S"});
  EXPECT_EQ(empty.waitForExit(10000), 0);
  EXPECT_TRUE(empty.standardError().contains("ends before line 1"));

  ProgramRun password;
  password.start({"/A", "77"});
  EXPECT_EQ(password.waitForExit(10000), 0);
  EXPECT_TRUE(password.standardError().contains("Nothing was changed"));
}

TEST_F(ProgramStartup, WithoutASettingsFileTheSettingsOpenAndASecondInstanceEnds) {
  ProgramRun settings;
  settings.start({"/S"});
  const QString dialog = settings.waitForWindow("Settings", 15000);
  ASSERT_FALSE(dialog.isEmpty());
  const QRect area = ProgramRun::windowGeometry(dialog);
  EXPECT_TRUE(waitUntil([&] { return holdsFor([&] { return dialogIsDrawn(area); }, 2000); }, 15000))
      << "its controls are on screen, and nothing comes over them";

  // The same user starting it again: the new one ends at once. It shares the
  // first one's runtime folder, where the instance lock lives.
  ProgramRun second;
  second.setEnvironment("XDG_RUNTIME_DIR", settings.runtimeFolder());
  second.writeSettingsFile("\r\n*.AVI\r\n");
  second.start({"/S"});
  EXPECT_EQ(second.waitForExit(10000), 0);
  EXPECT_FALSE(settings.waitForExit(0).has_value()) << "the first one still runs";
}
