// The built program given damaged settings and drives files: each start ends
// with a reason or opens its window, and no file the user saved is changed
// unless they save.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <random>

#include "platform/message_boxes.h"
#include "startup/settings_file.h"
#include "startup/shared_state.h"
#include "support/program_run.h"
#include "support/temp_folder.h"

namespace {

struct Damaged {
  const char* what;
  QByteArray bytes;
  bool entriesLeftOut = false;
};

std::vector<Damaged> damagedSettingsFiles() {
  std::mt19937 generator(7);
  QByteArray random(64 << 10, '\0');
  for (char& byte : random)
    byte = static_cast<char>(generator());
  const char withZeroBytes[] = "\0\r\n*.MPG\0\r\n/clips/a\0b.mpg\r\n\0\r\n";
  QByteArray manyLines = "\r\n*.MPG\r\n";
  for (int line = 0; line < 100000; ++line)
    manyLines += "/clips/" + QByteArray::number(line) + ".mpg\r\n";
  return {{"random bytes", random},
          {"one huge line", QByteArray(16 << 20, 'x')},
          {"zero bytes", QByteArray(withZeroBytes, sizeof withZeroBytes - 1)},
          {"100,000 lines", manyLines, true}};
}

// The first of the titles to show a window within the time, or empty.
QString firstWindow(ProgramRun& run, const QStringList& titles, int milliseconds) {
  const QDeadlineTimer deadline(milliseconds);
  while (!deadline.hasExpired()) {
    for (const QString& title : titles) {
      if (!run.waitForWindow(title, 50).isEmpty())
        return title;
    }
    if (run.waitForExit(100).has_value())
      return {};
  }
  return {};
}

// What the program reads from a settings file, as the lines it would save.
QByteArray asSaved(const QByteArray& bytes) {
  TempFolder folder;
  SharedState state;
  readSettingsFile(folder.write("read.INI", bytes), state);
  QStringList entries;
  for (int slot = 1; slot <= state.PlayCount; ++slot)
    entries << state.PlayList[slot];
  return encodeSettingsFile(
      {state.NoDriveScan ? QString() : state.ScanDrive, state.FileSpec, entries});
}

class ProgramBadInput : public testing::Test {
 protected:
  void SetUp() override {
    if (!haveDisplay())
      GTEST_SKIP() << "needs an X display; ./x test provides one";
  }
};

}  // namespace

TEST_F(ProgramBadInput, ADamagedSettingsFileEndsWithAReasonOrPlaysAndIsLeftAsItWas) {
  for (const Damaged& file : damagedSettingsFiles()) {
    SCOPED_TRACE(file.what);
    ProgramRun saver;
    saver.writeSettingsFile(file.bytes);
    saver.start({"/S"});
    const QString shown = firstWindow(saver, {"Reelvista", platform::kProgramTitle, ".*"}, 20000);
    if (shown.isEmpty()) {
      EXPECT_EQ(saver.waitForExit(1000), 0);
      EXPECT_FALSE(saver.standardError().isEmpty()) << "a reason on standard error";
    } else {
      ProgramRun::xdotool({"key", "Escape"});
      if (saver.waitForExit(1000) != 0)
        ProgramRun::xdotool({"key", "alt+x"});
      EXPECT_EQ(saver.waitForExit(10000), 0) << shown.toStdString();
    }
    EXPECT_TRUE(saver.settingsFile() == file.bytes) << "the saver never writes the file";
  }
}

TEST_F(ProgramBadInput, ADamagedSettingsFileOpensInTheSettingsAndSavesWhatWasRead) {
  for (const Damaged& file : damagedSettingsFiles()) {
    SCOPED_TRACE(file.what);
    ProgramRun settings;
    settings.writeSettingsFile(file.bytes);
    settings.start({"/C"});
    const QString shown = firstWindow(settings, {"Settings"}, 20000);
    if (file.entriesLeftOut) {  // a message says how many, over the settings
      const QString message = settings.waitForWindow(platform::kProgramTitle, 10000);
      ASSERT_FALSE(message.isEmpty());
      ProgramRun::xdotool({"windowfocus", "--sync", message});
      ProgramRun::xdotool({"key", "Return"});
      const QDeadlineTimer deadline(10000);
      while (!settings.waitForWindow(platform::kProgramTitle, 50).isEmpty())
        ASSERT_FALSE(deadline.hasExpired()) << "the message stays";
    }
    if (shown.isEmpty()) {
      EXPECT_EQ(settings.waitForExit(1000), 0);
      EXPECT_FALSE(settings.standardError().isEmpty()) << "a reason on standard error";
      EXPECT_TRUE(settings.settingsFile() == file.bytes) << "the file is left as it was";
      continue;
    }
    ProgramRun::xdotool({"windowfocus", "--sync", settings.waitForWindow("Settings", 1000)});
    ProgramRun::xdotool({"key", "Return"});  // OK
    ASSERT_EQ(settings.waitForExit(10000), 0);
    EXPECT_TRUE(settings.settingsFile() == asSaved(file.bytes)) << "saved as read";
  }
}

TEST_F(ProgramBadInput, ADriveThatIsAMissingFolderADeviceOrAFileIsNotReadyAndPlaybackFollows) {
  for (const QByteArray& source :
       {QByteArray("/nonexistent/disc"), QByteArray("/dev/null"), QByteArray("/dev/no-such-device"),
        QByteArray("/etc/hostname")}) {
    SCOPED_TRACE(source.toStdString());
    ProgramRun saver;
    QFile drives(saver.configFolder() + "/drives");
    ASSERT_TRUE(drives.open(QIODevice::WriteOnly));
    drives.write("D: " + source + "\n");
    drives.close();
    saver.writeSettingsFile("D:\r\n*.MPG\r\n");
    saver.start({"/S"});
    EXPECT_FALSE(saver.waitForWindow("Reelvista", 15000).isEmpty());
    ProgramRun::xdotool({"key", "space"});
    EXPECT_EQ(saver.waitForExit(10000), 0);
    EXPECT_EQ(saver.settingsFile(), "D:\r\n*.MPG\r\n");
  }
}
