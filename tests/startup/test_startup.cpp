#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <optional>

#include "platform/errors.h"
#include "platform/scripted/scripted_platform.h"
#include "program_windows.h"
#include "startup/program.h"
#include "startup/program_application.h"
#include "startup/startup.h"
#include "support/qt_printers.h"
#include "support/temp_folder.h"

using platform::ProgramEnded;
using platform::scripted::ScriptedPlatform;

namespace {

// A start of the program on scripted services with its real windows; the
// executable's folder is a temporary folder that may hold a settings file.
class Start {
 public:
  explicit Start(const QString& commandLine, std::optional<QByteArray> settings = std::nullopt) {
    desktop.process.commandLineText = commandLine;
    desktop.process.executableFolderPath = folder.path();
    if (settings)
      folder.write("ReelvistaSaver.INI", *settings);
  }

  // Runs StartUp; true when it ended the program at once.
  bool run() {
    try {
      StartUp(program);
    } catch (const ProgramEnded&) {
      return true;
    }
    return false;
  }

  // Class names of this program's shown windows.
  QStringList shownWindows() const {
    QStringList shown;
    for (QWidget* window : program.windows.loaded()) {
      if (window->isVisible())
        shown << window->metaObject()->className();
    }
    return shown;
  }

  TempFolder folder;
  ScriptedPlatform desktop;
  // True when the scan window was loaded after the playback window had
  // begun to play, that is by the playback window's activation.
  bool winSeekLoadedByPlayback = false;
  Program program{desktop.platform, watchingWinSeek()};

 private:
  Windows::Factories watchingWinSeek() {
    Windows::Factories factories = programWindows();
    factories.winSeek = [this, make = factories.winSeek](Program& run) {
      winSeekLoadedByPlayback = desktop.player && !desktop.player->calls.isEmpty();
      return make(run);
    };
    return factories;
  }
};

const QByteArray kSaverAtOnce = "\r\n*.AVI\r\n/clips/a.avi\r\n";
const QByteArray kSaverWithScan = "D:\r\n*.AVI\r\n/clips/a.avi\r\n";

}  // namespace

TEST(StartUp, SaverSwitchInAnyCaseOpensPlaybackOrTheScan) {
  Start lower("/s", kSaverAtOnce);
  EXPECT_FALSE(lower.run());
  EXPECT_EQ(lower.shownWindows(), QStringList({"Canvas"}));
  EXPECT_EQ(lower.program.state.PlayCount, 1);
  const QDeadlineTimer deadline(5000);
  while (!lower.program.windows.isWinSeekLoaded() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_TRUE(lower.winSeekLoadedByPlayback)
      << "start-up never loads the scan window; the playback window, active, loads it hidden";
  EXPECT_EQ(lower.shownWindows(), QStringList({"Canvas"}));

  Start scan("/S", kSaverWithScan);
  int eventRunsBeforeShow = -1;
  scan.desktop.desktop.onLetEventsRun = [&] {
    if (eventRunsBeforeShow < 0)
      eventRunsBeforeShow = scan.program.windows.winSeek().isVisible();
  };
  EXPECT_FALSE(scan.run());
  EXPECT_EQ(scan.shownWindows(), QStringList({"WinSeek"}));
  EXPECT_EQ(eventRunsBeforeShow, 0) << "events run once while the scan window is still hidden";
  EXPECT_EQ(scan.desktop.desktop.eventRuns, 1);
}

TEST(StartUp, AnythingElseOpensTheSettingsTopmost) {
  for (const QString& commandLine : {QString(), QStringLiteral("/c:1234"), QStringLiteral("x")}) {
    Start start(commandLine, kSaverWithScan);
    EXPECT_FALSE(start.run());
    EXPECT_EQ(start.shownWindows(), QStringList({"Setup"})) << commandLine.toStdString();
    EXPECT_EQ(start.desktop.desktop.placements, QStringList({"topmost Settings", "top Settings"}));
    EXPECT_EQ(start.program.state.ScanDrive, "D:");
  }

  // No settings file: the settings, with the defaults, even for "/S".
  Start missing("/S");
  EXPECT_FALSE(missing.run());
  EXPECT_EQ(missing.shownWindows(), QStringList({"Setup"}));
  EXPECT_EQ(missing.program.state.ScanDrive, "A:");
  EXPECT_EQ(missing.program.state.FileSpec, "*.AVI;*.MOV;*.QT;*.MPG;*.MP3;*.RA;*.RM;*.RMM");
  EXPECT_FALSE(missing.program.state.NoDriveScan);
  EXPECT_EQ(missing.program.state.PlayCount, 0);
}

TEST(StartUp, PasswordChangeAndPreviewOpenNoWindow) {
  Start owner("/A 1234");
  EXPECT_FALSE(owner.run());
  ASSERT_EQ(owner.desktop.passwordChange.calls.size(), 1u);
  EXPECT_EQ(owner.desktop.passwordChange.calls[0].provider, "SCRSAVE");
  EXPECT_EQ(owner.desktop.passwordChange.calls[0].ownerWindow, 1234);
  EXPECT_TRUE(owner.shownWindows().isEmpty());

  Start alone("/a");
  EXPECT_FALSE(alone.run());
  ASSERT_EQ(alone.desktop.passwordChange.calls.size(), 1u);
  EXPECT_EQ(alone.desktop.passwordChange.calls[0].ownerWindow, 0);

  Start withSaver("/A /S", kSaverAtOnce);
  EXPECT_FALSE(withSaver.run());
  EXPECT_EQ(withSaver.desktop.passwordChange.calls.size(), 1u);
  EXPECT_TRUE(withSaver.shownWindows().isEmpty());

  for (const QString& preview : {QStringLiteral("/P /S"), QStringLiteral("/p 4242")}) {
    Start start(preview, kSaverAtOnce);
    EXPECT_TRUE(start.run()) << preview.toStdString();
    EXPECT_TRUE(start.shownWindows().isEmpty());
    EXPECT_EQ(start.desktop.process.endings, std::vector<int>({0}));
  }
}

TEST(StartUp, ASecondInstanceEndsAtOnceWhateverItsCommandLine) {
  for (const QString& commandLine : {QStringLiteral("/S"), QStringLiteral("/A 1"), QString()}) {
    Start start(commandLine, kSaverAtOnce);
    start.desktop.process.anotherInstance = true;
    EXPECT_TRUE(start.run());
    EXPECT_TRUE(start.desktop.passwordChange.calls.empty());
    EXPECT_TRUE(start.shownWindows().isEmpty());
  }
}

TEST(StartUp, ASettingsFileThatEndsTooEarlyOpensNoWindow) {
  for (const QByteArray& settings : {QByteArray(), QByteArray("D:\r\n")}) {
    for (const QString& commandLine : {QStringLiteral("/S"), QString()}) {
      Start start(commandLine, settings);
      EXPECT_FALSE(start.run());
      EXPECT_TRUE(start.shownWindows().isEmpty());
      EXPECT_TRUE(start.desktop.messages.shown.empty());
    }
  }
}

TEST(StartUp, MoreThanAThousandEntriesStillStartsAndSaysSoInTheSettings) {
  QByteArray settings = "\r\n*.AVI\r\n";
  for (int i = 0; i < 1003; ++i)
    settings += "/clips/" + QByteArray::number(i) + ".avi\r\n";

  Start saver("/S", settings);
  EXPECT_FALSE(saver.run());
  EXPECT_EQ(saver.shownWindows(), QStringList({"Canvas"}));
  EXPECT_EQ(saver.program.state.PlayCount, 1000);
  EXPECT_TRUE(saver.desktop.messages.shown.empty());

  Start settingsMode("", settings);
  EXPECT_FALSE(settingsMode.run());
  EXPECT_EQ(settingsMode.shownWindows(), QStringList({"Setup"}));
  ASSERT_EQ(settingsMode.desktop.messages.shown.size(), 1u);
  EXPECT_TRUE(settingsMode.desktop.messages.shown[0].text.contains("3 more"));
  EXPECT_EQ(settingsMode.desktop.messages.shown[0].title, "SCRNSAVE: Reelvista screensaver");
}

// The guard runs ahead of StartUp in saver mode only, so both read the
// command line the same way.
TEST(StartUp, SaverModeIsDecidedAsTheDispatchDoes) {
  for (const char* saver : {"/S", "/S /X", "-/S"})
    EXPECT_TRUE(isSaverMode(saver)) << saver;
  for (const char* other : {"", "/C", "/A /S", "/S /P 12", "S"})
    EXPECT_FALSE(isSaverMode(other)) << other;
}

TEST(StartUp, ASaverThatFailedAgainAndAgainPlaysNothingAndSkipsTheScan) {
  Start start("/S", kSaverWithScan);
  start.desktop.guard.nothingToPlay = true;
  EXPECT_FALSE(start.run());
  EXPECT_EQ(start.shownWindows(), QStringList({"Canvas"}));
  EXPECT_EQ(start.program.state.PlayCount, 0);
}

TEST(ProgramApplication, AFailureEscapingAHandlerEndsTheProgramWithItsDescription) {
  std::vector<int> endings;
  const auto end = [&](int status) { endings.push_back(status); };
  QObject player;
  QObject::connect(&player, &QObject::objectNameChanged, [] {
    throw platform::PlatformError(platform::ErrorNumber::Other, "The media player cannot start.");
  });
  testing::internal::CaptureStderr();
  runEndingOnFailure(
      [&] {
        player.setObjectName("player");  // the signal's handler throws
        return true;
      },
      end);
  runEndingOnFailure([]() -> bool { throw std::runtime_error("out of luck"); }, end);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("Reelvista: The media player cannot start.\n"), std::string::npos) << said;
  EXPECT_NE(said.find("Reelvista: out of luck\n"), std::string::npos) << said;
  EXPECT_EQ(endings, (std::vector<int>{1, 1}));

  EXPECT_FALSE(runEndingOnFailure([] { return false; }, end)) << "a handler's own answer";
  EXPECT_EQ(endings.size(), 2u) << "and no ending without a failure";
}
