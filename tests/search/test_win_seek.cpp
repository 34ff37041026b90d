#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest/QTest>

#include "platform/errors.h"
#include "platform/scripted/scripted_platform.h"
#include "search/win_seek.h"
#include "startup/program.h"
#include "support/qt_printers.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

namespace {

// One start-up scan, with a stand-in for the playback window.
struct ScanRun {
  ScanRun()
      : program(scripted.platform,
                {.setup = {},
                 .winSeek = [](Program& run) { return std::make_unique<WinSeek>(run); },
                 .canvas =
                     [this](Program&) {
                       ++playbackWindows;
                       return std::make_unique<QWidget>();
                     }}) {
    program.state.ScanDrive = "D:";
    program.state.PlayList[1] = "/from/the/settings.avi";
    program.state.PlayCount = 1;
  }

  // Opens the scan window as start-up does and waits for the scan to end.
  void start() {
    QWidget& window = program.windows.winSeek();
    scripted.desktop.letEventsRun();
    window.show();
    QElapsedTimer waited;
    waited.start();
    while (!playbackShown() && waited.elapsed() < 2000)
      QApplication::processEvents(QEventLoop::AllEvents, 20);
  }

  bool playbackShown() { return playbackWindows == 1 && program.windows.canvas().isVisible(); }

  QStringList playList() const {
    QStringList entries;
    for (int i = 1; i <= program.state.PlayCount; ++i)
      entries << program.state.PlayList[i];
    return entries;
  }

  template <typename Control>
  Control& control(const char* name) {
    auto* found = program.windows.winSeek().findChild<Control*>(name);
    EXPECT_NE(found, nullptr) << name;
    return *found;
  }

  platform::scripted::ScriptedPlatform scripted;
  int playbackWindows = 0;
  Program program;
};

}  // namespace

TEST(WinSeek, ScansTheDriveThenItsVideoCdFolderAndOpensPlayback) {
  TempFolder folder;
  folder.write("disc/CLIP.MPG", "");
  folder.write("disc/notes.txt", "");
  folder.write("disc/mpegav/AVSEQ01.DAT", "");
  folder.write("disc/mpegav/AVSEQ02.DAT", "");
  ScanRun run;
  run.scripted.drives.map('D', folder / "disc");
  run.program.state.ScanDrive = "d:";
  run.start();

  EXPECT_EQ(run.control<QLabel>("Label1").text(),
            "Reelvista screensaver is scanning for\r\nMedia files on D:\r\n\r\n"
            "Please Stand By...");
  EXPECT_EQ(run.playList(),
            QStringList({"/from/the/settings.avi", folder / "disc/CLIP.MPG",
                         folder / "disc/mpegav/AVSEQ01.DAT", folder / "disc/mpegav/AVSEQ02.DAT"}));
  EXPECT_TRUE(run.playbackShown());
  QWidget& window = run.program.windows.winSeek();
  EXPECT_EQ(window.size(), QSize(281, 90));
  EXPECT_EQ(window.pos(), QPoint((1024 - 281) / 2, (768 - 90) / 2));
  EXPECT_FALSE(run.control<QWidget>("Picture2").isVisible());
  EXPECT_TRUE(run.scripted.messages.shown.empty());
}

TEST(WinSeek, TrackFilesCountTwiceWhenThePatternsTakeThemToo) {
  TempFolder folder;
  folder.write("disc/MPEGAV/AVSEQ01.DAT", "");
  ScanRun run;
  run.scripted.drives.map('D', folder / "disc");
  run.program.state.FileSpec = "*.MPG;*.DAT";
  run.start();
  EXPECT_EQ(run.playList(),
            QStringList({"/from/the/settings.avi", folder / "disc/MPEGAV/AVSEQ01.DAT",
                         folder / "disc/MPEGAV/AVSEQ01.DAT"}));
}

TEST(WinSeek, ADiscWithoutTheVideoCdFolderOrNoDiscAtAllGoesOnToPlayback) {
  TempFolder folder;
  folder.write("data/Movies/trip.avi", "");
  folder.write("data/song.mp3", "");
  ScanRun data;
  data.scripted.drives.map('D', folder / "data");
  data.start();
  EXPECT_EQ(data.playList(), QStringList({"/from/the/settings.avi", folder / "data/Movies/trip.avi",
                                          folder / "data/song.mp3"}));
  EXPECT_TRUE(data.playbackShown());

  ScanRun empty;
  empty.scripted.drives.map('D', folder / "data");
  empty.scripted.drives.setReady('D', false);
  empty.start();
  EXPECT_EQ(empty.playList(), QStringList({"/from/the/settings.avi"}));
  EXPECT_TRUE(empty.playbackShown());

  ScanRun missing;  // the default drive A: is nowhere
  missing.program.state.ScanDrive = "A:";
  missing.start();
  EXPECT_TRUE(missing.playbackShown());
  EXPECT_TRUE(missing.scripted.messages.shown.empty());
}

TEST(WinSeek, AFullPlayListEndsTheScanAndPlaysWhatItHas) {
  TempFolder folder;
  folder.write("disc/a.avi", "");
  folder.write("disc/b.avi", "");
  folder.write("disc/MPEGAV/AVSEQ01.DAT", "");
  ScanRun run;
  run.scripted.drives.map('D', folder / "disc");
  for (int i = 1; i <= 999; ++i)
    run.program.state.PlayList[i] = "/settings/entry.avi";
  run.program.state.PlayCount = 999;
  run.start();
  EXPECT_EQ(run.program.state.PlayCount, 1000);
  EXPECT_EQ(run.program.state.PlayList[1000], folder / "disc/a.avi");
  EXPECT_TRUE(run.playbackShown());
  EXPECT_TRUE(run.scripted.process.endings.empty());
  EXPECT_TRUE(run.scripted.messages.shown.empty());
}

TEST(WinSeek, KeysDuringTheScanStartNoSecondWalkAndTabReachesExit) {
  TempFolder folder;
  folder.write("disc/A/a.avi", "");
  folder.write("disc/b.avi", "");
  ScanRun run;
  run.scripted.drives.map('D', folder / "disc");
  QWidget& window = run.program.windows.winSeek();
  auto& cmdSearch = run.control<QPushButton>("cmdSearch");
  auto& cmdExit = run.control<QPushButton>("cmdExit");
  QStringList focusSeen;
  int searchClicks = 0;
  QObject::connect(&cmdSearch, &QPushButton::clicked, [&] { ++searchClicks; });
  run.scripted.desktop.onLetEventsRun = [&] {
    if (run.scripted.desktop.eventRuns != 3)
      return;  // inside the walk, at its first folder
    focusSeen << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "");
    QTest::keyClick(&window, Qt::Key_Return);
    QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier);
    QTest::qWait(150);  // an access key presses its button a moment later
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    focusSeen << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "");
  };
  run.start();
  EXPECT_EQ(focusSeen, QStringList({"cmdSearch", "cmdExit"}));
  EXPECT_EQ(searchClicks, 2) << "Enter and Alt+S reached the button, which did nothing";
  EXPECT_EQ(cmdSearch.text(), "&Search");
  EXPECT_EQ(cmdExit.text(), "E&xit");
  EXPECT_EQ(run.playList(), QStringList({"/from/the/settings.avi", folder / "disc/A/a.avi",
                                         folder / "disc/b.avi"}));
  EXPECT_TRUE(run.playbackShown());

  // After the scan Enter on the default button searches the drive again from
  // the hidden panel, appending to the play list; then it reads "&Reset".
  cmdSearch.setFocus();
  QTest::keyClick(&cmdSearch, Qt::Key_Return);
  EXPECT_EQ(cmdSearch.text(), "&Reset");
  EXPECT_EQ(run.program.state.PlayCount, 5);
  EXPECT_EQ(run.control<QLabel>("lblCount").text(), " 4");
  EXPECT_EQ(run.control<QListWidget>("lstFoundFiles").count(), 4);
  QTest::keyClick(&cmdSearch, Qt::Key_Space);
  EXPECT_EQ(cmdSearch.text(), "&Search");
  EXPECT_EQ(run.control<QLabel>("lblCount").text(), "0");
  EXPECT_EQ(run.control<QListWidget>("lstFoundFiles").count(), 0);
}

TEST(WinSeek, AltXEndsTheProgramAtOnceEvenDuringTheScan) {
  // The end unwinds through Qt's event handling; it runs in a child process
  // of its own so that nothing of this one is left half-unwound.
  const int result = runUnprivileged([] {
    ScanRun run;
    QWidget& window = run.program.windows.winSeek();
    run.scripted.desktop.onLetEventsRun = [&] {
      if (run.scripted.desktop.eventRuns == 2) {
        QTest::keyClick(&window, Qt::Key_X, Qt::AltModifier);
        QTest::qWait(150);  // an access key presses its button a moment later
      }
    };
    try {
      run.start();
    } catch (const platform::ProgramEnded& ended) {
      return run.playbackWindows == 0 && ended.status == 0 ? 0 : 2;
    }
    return 1;
  });
  EXPECT_EQ(result, 0);
}
