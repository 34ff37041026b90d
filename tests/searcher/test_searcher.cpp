#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QtTest/QTest>

#include "platform/controls/drive_list.h"
#include "platform/controls/file_list.h"
#include "platform/controls/folder_list.h"
#include "platform/controls/units.h"
#include "platform/scripted/scripted_platform.h"
#include "searcher/search_client.h"
#include "searcher/searcher.h"
#include "setup/setup.h"
#include "startup/program.h"
#include "support/qt_printers.h"
#include "support/temp_folder.h"

using platform::twips;
using platform::twipsRect;

namespace {

const QString kListFull = QStringLiteral("You've filled the list box. Abandoning search...");

// The settings dialog as the search sees it, with a play list of its own.
struct Opener : SearchClient {
  QStringList playList;
  int room = 1000;
  int ended = 0;
  QRect geometry{100, 50, 281, 358};

  int appendToPlayList(const QStringList& paths) override {
    const int taken = std::min<int>(room, paths.size());
    playList += paths.mid(0, taken);
    room -= taken;
    return static_cast<int>(paths.size()) - taken;
  }
  void searchEnded() override { ++ended; }
  QRect openerGeometry() const override { return geometry; }
};

// Drive D: holds a small tree; the process stands in its root.
struct Search {
  Search()
      : program(scripted.platform,
                {.setup = [](Program& run) { return std::make_unique<Setup>(run); },
                 .winSeek = {},
                 .canvas = {}}) {
    program.state.setDefaults();
    for (const char* name : {"disc/top.avi", "disc/readme.txt", "disc/A/a1.mpg", "disc/B/b.MOV",
                             "disc/B/B1/x.avi", "disc/B/B1/deep.mp3"})
      folder.write(name, "");
    scripted.drives.map('D', disc());
    scripted.process.currentFolderPath = disc();
    scripted.process.executableFolderPath = folder.path();
  }
  ~Search() { delete window.data(); }

  QString disc() const { return folder / "disc"; }
  // The walk's order: below first, the last subfolder first, a folder's own
  // files after its subfolders.
  QStringList wholeTree() const {
    return {disc() + "/B/B1/deep.mp3", disc() + "/B/B1/x.avi", disc() + "/B/b.MOV",
            disc() + "/A/a1.mpg", disc() + "/top.avi"};
  }

  Searcher& open() {
    window = new Searcher(program, opener, nullptr);
    window->show();
    QCoreApplication::processEvents();
    return *window;
  }

  template <typename Control>
  Control& control(const char* name) {
    auto* found = window->findChild<Control*>(QString::fromLatin1(name));
    if (found == nullptr)
      throw std::runtime_error(std::string("no control ") + name);
    return *found;
  }
  QString caption(const char* button) { return control<QPushButton>(button).text(); }
  void click(const char* button) { control<QPushButton>(button).click(); }
  QStringList found() {
    QStringList entries;
    auto& list = control<QListWidget>("lstFoundFiles");
    for (int i = 0; i < list.count(); ++i)
      entries << list.item(i)->text();
    return entries;
  }
  bool closed() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return window.isNull();
  }

  platform::scripted::ScriptedPlatform scripted;
  TempFolder folder;
  Program program;
  Opener opener;
  QPointer<Searcher> window;
};

}  // namespace

TEST(Searcher, OpensBesideTheSettingsDialogOnTheSearchPanel) {
  Search search;
  search.program.state.FileSpec = "*.avi;*.MP3";
  Searcher& window = search.open();
  search.program.state.FileSpec = "*.txt";  // read once, at opening

  EXPECT_EQ(window.windowTitle(), "Search Reelvista file");
  EXPECT_EQ(window.size(), QSize(twips(3720), twips(2895)));
  EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "a fixed border";
  EXPECT_EQ(window.frameGeometry().topLeft(),
            QPoint(100 + 281, 50 + 358 - window.frameGeometry().height()));
  EXPECT_EQ(window.frameGeometry().bottom(), search.opener.geometry.bottom()) << "bottoms level";

  struct Place {
    const char* name;
    QRect rect;
  };
  for (const Place& place : {
           Place{"Picture1", QRect(0, 0, twips(3720), twips(2295))},
           Place{"Picture2", QRect(0, 0, twips(3720), twips(2295))},
           Place{"filList", twipsRect(120, 120, 1815, 1845)},
           Place{"drvList", twipsRect(2040, 120, 1575, 315)},
           Place{"dirList", twipsRect(2040, 480, 1575, 1605)},
           Place{"lblCriteria", twipsRect(120, 0, 1335, 255)},
           Place{"txtSearchSpec", twipsRect(1320, 0, 1575, 285)},
           Place{"lblfound", twipsRect(120, 120, 1095, 255)},
           Place{"lblCount", twipsRect(1080, 120, 1095, 255)},
           Place{"lstFoundFiles", twipsRect(120, 480, 3375, 1620)},
           Place{"cmdSearch", twipsRect(240, 2400, 1200, 375)},
           Place{"cmdExit", twipsRect(2160, 2400, 1200, 375)},
       })
    EXPECT_EQ(search.control<QWidget>(place.name).geometry(), place.rect) << place.name;
  for (const char* button : {"cmdSearch", "cmdExit"})
    EXPECT_EQ(search.control<QPushButton>(button).palette().color(QPalette::Button),
              QColor(192, 192, 192));

  EXPECT_TRUE(search.control<QWidget>("Picture1").isVisible());
  EXPECT_FALSE(search.control<QWidget>("Picture2").isVisible());
  EXPECT_FALSE(search.control<QWidget>("lblCriteria").isVisible());
  EXPECT_FALSE(search.control<QWidget>("txtSearchSpec").isVisible());
  EXPECT_EQ(search.control<QLineEdit>("txtSearchSpec").text(), "*.avi;*.MP3");
  EXPECT_EQ(search.control<QLabel>("lblCount").text(), "0");
  EXPECT_EQ(search.caption("cmdSearch"), "&Search");
  EXPECT_EQ(search.caption("cmdExit"), "E&xit");
  EXPECT_TRUE(search.control<QPushButton>("cmdSearch").hasFocus());

  // The lists start at the process's current drive and folder.
  EXPECT_EQ(search.control<platform::FolderList>("dirList").path(), search.disc());
  EXPECT_TRUE(search.control<platform::DriveList>("drvList").drive().startsWith("D:"));
  auto& files = search.control<platform::FileList>("filList");
  ASSERT_EQ(files.fileCount(), 1);
  EXPECT_EQ(files.fileName(0), "top.avi");

  // The pattern changed after opening does not count.
  search.click("cmdSearch");
  EXPECT_EQ(search.found(),
            QStringList({search.disc() + "/B/B1/deep.mp3", search.disc() + "/B/B1/x.avi",
                         search.disc() + "/top.avi"}));
}

TEST(Searcher, SearchesInTheWalksOrderAndAddsEveryResultThenCloses) {
  Search search;
  Searcher& window = search.open();
  QStringList duringTheWalk;
  search.scripted.desktop.onLetEventsRun = [&] {
    duringTheWalk << search.caption("cmdSearch") + "|" + search.caption("cmdExit");
  };
  search.click("cmdSearch");

  EXPECT_EQ(duringTheWalk.value(0), "&Search|Cancel");
  EXPECT_EQ(duringTheWalk.size(), 4) << "one event step per folder";
  EXPECT_EQ(search.found(), search.wholeTree());
  EXPECT_EQ(search.control<QLabel>("lblCount").text(), " 5");
  EXPECT_EQ(search.caption("cmdSearch"), "&Add");
  EXPECT_EQ(search.caption("cmdExit"), "E&xit");
  EXPECT_TRUE(search.control<QPushButton>("cmdSearch").hasFocus());
  EXPECT_TRUE(search.control<QWidget>("Picture2").isVisible());
  EXPECT_FALSE(search.control<QWidget>("Picture1").isVisible());
  EXPECT_EQ(search.control<platform::FileList>("filList").path(), search.disc());

  // The play list takes three: the user hears about the two left out.
  search.opener.playList = {search.disc() + "/top.avi"};
  search.opener.room = 3;
  search.click("cmdSearch");
  EXPECT_EQ(search.opener.playList,
            QStringList({search.disc() + "/top.avi"}) + search.wholeTree().mid(0, 3));
  ASSERT_EQ(search.scripted.messages.shown.size(), 1u);
  EXPECT_TRUE(search.scripted.messages.shown[0].text.contains("2 of the 5"));
  EXPECT_EQ(search.opener.ended, 2) << "E&xit, then the close itself";
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(search.closed());
}

TEST(Searcher, CancelKeepsWhatWasFoundAndExitAddsNothing) {
  Search search;
  search.open();
  search.scripted.desktop.onLetEventsRun = [&] {
    if (search.found().size() == 3)  // entering A
      search.click("cmdExit");
  };
  search.click("cmdSearch");
  EXPECT_EQ(search.found(), search.wholeTree().mid(0, 3));
  EXPECT_EQ(search.control<QLabel>("lblCount").text(), " 3");
  EXPECT_EQ(search.caption("cmdSearch"), "&Add");
  EXPECT_EQ(search.caption("cmdExit"), "E&xit");

  search.click("cmdExit");
  EXPECT_TRUE(search.opener.playList.isEmpty());
  EXPECT_GE(search.opener.ended, 1);
  EXPECT_TRUE(search.closed());
}

TEST(Searcher, EnterOpensTheHighlightedFolderBeforeItSearches) {
  Search search;
  search.open();
  auto& folders = search.control<platform::FolderList>("dirList");
  folders.setFocus();
  folders.setHighlightedIndex(1);  // B
  QTest::keyClick(&folders, Qt::Key_Return);
  EXPECT_EQ(folders.path(), search.disc() + "/B");
  EXPECT_EQ(search.scripted.desktop.eventRuns, 0) << "no search started";
  EXPECT_TRUE(search.control<QWidget>("Picture1").isVisible());
  EXPECT_EQ(search.caption("cmdExit"), "E&xit");

  QTest::keyClick(&folders, Qt::Key_Return);
  EXPECT_EQ(search.found(), search.wholeTree().mid(0, 3));
}

TEST(Searcher, LeavingTheFolderListOpensTheHighlightedFolder) {
  Search search;
  search.open();
  auto& folders = search.control<platform::FolderList>("dirList");
  folders.setFocus();
  folders.setHighlightedIndex(0);  // A
  search.control<QPushButton>("cmdSearch").setFocus();
  EXPECT_EQ(folders.path(), search.disc() + "/A");
  search.click("cmdSearch");
  EXPECT_EQ(search.found(), QStringList({search.disc() + "/A/a1.mpg"}));
}

TEST(Searcher, AnEmptySearchAndADriveWithoutAMediumSayNothing) {
  Search search;
  search.folder.write("other/clip.avi", "");
  search.scripted.drives.map('E', search.folder / "other");
  search.scripted.drives.setReady('E', false);
  search.program.state.FileSpec = "*.XYZ";
  search.open();

  auto& drives = search.control<platform::DriveList>("drvList");
  drives.refresh();
  const int unready = drives.findText("E:", Qt::MatchStartsWith);
  ASSERT_GE(unready, 0);
  drives.setCurrentIndex(unready);
  EXPECT_TRUE(drives.drive().startsWith("D:"));
  EXPECT_EQ(search.control<platform::FolderList>("dirList").path(), search.disc());

  search.click("cmdSearch");
  EXPECT_TRUE(search.found().isEmpty());
  EXPECT_EQ(search.control<QLabel>("lblCount").text(), "0");
  EXPECT_EQ(search.caption("cmdSearch"), "&Add");
  search.click("cmdSearch");
  EXPECT_TRUE(search.opener.playList.isEmpty());
  EXPECT_TRUE(search.scripted.messages.shown.empty());
  EXPECT_TRUE(search.closed());
}

TEST(Searcher, AFullResultsListIsSaidOnceAndFinishesTheSearch) {
  Search search;
  search.open().setResultsCapacity(2);
  search.click("cmdSearch");
  EXPECT_EQ(search.found(), search.wholeTree().mid(0, 2));
  ASSERT_EQ(search.scripted.messages.shown.size(), 1u);
  EXPECT_EQ(search.scripted.messages.shown[0].text, kListFull);
  EXPECT_EQ(search.caption("cmdSearch"), "&Add");
  search.click("cmdSearch");
  EXPECT_EQ(search.opener.playList, search.wholeTree().mid(0, 2));
}

TEST(Searcher, AFolderGoneBeforeTheSearchEntersItIsPassedOver) {
  Search search;
  search.open();
  search.scripted.desktop.onLetEventsRun = [&] {
    if (search.scripted.desktop.eventRuns == 3)  // inside B1, the root already listed
      QDir(search.disc() + "/A").removeRecursively();
  };
  search.click("cmdSearch");
  QStringList withoutA = search.wholeTree();
  withoutA.removeAt(3);
  EXPECT_EQ(search.found(), withoutA);
  EXPECT_TRUE(search.scripted.messages.shown.empty());
  EXPECT_TRUE(search.scripted.process.endings.empty());
  EXPECT_TRUE(search.window->isVisible());
  EXPECT_EQ(search.caption("cmdSearch"), "&Add");
  EXPECT_EQ(search.caption("cmdExit"), "E&xit");
}

TEST(Searcher, OneSearchAtATimeAndTheWindowMayGoUnderIt) {
  Search search;
  search.open();
  QString afterTheSecondPress;
  search.scripted.desktop.onLetEventsRun = [&] {
    if (search.scripted.desktop.eventRuns == 2)
      search.click("cmdSearch");  // refused: the first walk goes on alone
    if (search.scripted.desktop.eventRuns == 3)
      afterTheSecondPress = search.caption("cmdSearch") + "|" + search.caption("cmdExit");
  };
  search.click("cmdSearch");
  EXPECT_EQ(afterTheSecondPress, "&Search|Cancel") << "the search still runs";
  EXPECT_EQ(search.found(), search.wholeTree()) << "each file found once, in the walk's order";
  EXPECT_EQ(search.scripted.desktop.eventRuns, 4) << "each of the four folders visited once";

  Search under;
  under.open();
  under.scripted.desktop.onLetEventsRun = [&] {
    if (under.scripted.desktop.eventRuns == 2)
      delete under.window.data();
  };
  under.click("cmdSearch");
  EXPECT_TRUE(under.window.isNull());
  EXPECT_EQ(under.scripted.desktop.eventRuns, 2) << "the walk ends with its window";
}

TEST(Searcher, AddsToTheSettingsDialogAndSurvivesItClosingDuringASearch) {
  Search search;
  search.program.state.PlayCount = 1;
  search.program.state.PlayList[1] = search.disc() + "/top.avi";
  QWidget& settings = search.program.windows.setup();
  settings.show();
  QCoreApplication::processEvents();
  auto& command5 = *settings.findChild<QPushButton*>("Command5");
  auto& list1 = *settings.findChild<QListWidget*>("List1");

  command5.click();
  search.window = settings.findChild<Searcher*>();
  ASSERT_FALSE(search.window.isNull());
  search.click("cmdSearch");
  search.click("cmdSearch");
  QStringList entries;
  for (int i = 0; i < list1.count(); ++i)
    entries << list1.item(i)->text();
  EXPECT_EQ(entries, QStringList({search.disc() + "/top.avi"}) + search.wholeTree())
      << "in order, the duplicate too";
  EXPECT_TRUE(search.closed());
  EXPECT_TRUE(command5.isEnabled());

  // The settings dialog closed from the walk's event step: the search stops,
  // its window goes once the walk has unwound, and nothing ends the program.
  command5.click();
  search.window = settings.findChild<Searcher*>();
  ASSERT_FALSE(search.window.isNull());
  search.scripted.desktop.onLetEventsRun = [&] {
    if (settings.isVisible())
      settings.close();
  };
  search.click("cmdSearch");
  EXPECT_TRUE(search.closed());
  EXPECT_TRUE(command5.isEnabled());
  EXPECT_EQ(list1.count(), 6) << "the dialog's edits are still there";
  EXPECT_TRUE(search.scripted.process.endings.empty());
}
