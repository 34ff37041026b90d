#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "platform/controls/file_list.h"
#include "platform/controls/folder_list.h"
#include "platform/errors.h"
#include "platform/files/host_text.h"
#include "platform/scripted/scripted_platform.h"
#include "search/walk_folders.h"
#include "startup/program.h"
#include "startup/settings_file.h"
#include "startup/shared_state.h"
#include "support/qt_printers.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

namespace {

// The controls a window hands to a walk, wired as the windows wire them: the
// file list follows the folder list.
struct WalkWindow {
  explicit WalkWindow(WalkRules rules = {})
      : program(scripted.platform, {}),
        dirList(*scripted.platform.drives),
        filList(*scripted.platform.drives),
        walk(program, {dirList, filList, lstFoundFiles, lblCount}, std::move(rules)) {
    lblCount.setText("0");
    QObject::connect(&dirList, &platform::FolderList::changed,
                     [this] { filList.setPath(dirList.path()); });
    QObject::connect(&cancel, &QPushButton::clicked, [this] { walk.SearchActive = false; });
  }

  // Walks from the folder as the windows do: set the list, read it back.
  bool walkFrom(const QString& folder) {
    dirList.setPath(folder);
    const bool abandoned = walk.WalkFolders(dirList.path(), QString());
    filList.setPath(dirList.path());
    return abandoned;
  }

  QStringList found() const {
    QStringList entries;
    for (int i = 0; i < lstFoundFiles.count(); ++i)
      entries << lstFoundFiles.item(i)->text();
    return entries;
  }

  platform::scripted::ScriptedPlatform scripted;
  Program program;
  platform::FolderList dirList;
  platform::FileList filList;
  QListWidget lstFoundFiles;
  QLabel lblCount;
  QPushButton cancel;
  FolderWalk walk;
};

// The rules of the start-up scan: into the play list too, a failure ends
// the program.
WalkRules scanRules() {
  WalkRules rules;
  rules.appendToPlayList = true;
  rules.onFailure = WalkRules::OnFailure::EndProgram;
  return rules;
}

WalkRules foundListOf(int capacity, const QString& fullMessage = {}) {
  WalkRules rules;
  rules.foundCapacity = capacity;
  rules.listFullMessage = fullMessage;
  return rules;
}

// A drive holding folders A and B (B holding B1) and files at each level.
void makeTree(const TempFolder& folder) {
  folder.write("disc/root.avi", "");
  folder.write("disc/A/a.avi", "");
  folder.write("disc/B/b.avi", "");
  folder.write("disc/B/B1/b1.avi", "");
  folder.write("disc/B/B1/b1.txt", "");
}

}  // namespace

TEST(WalkFolders, GoesDepthFirstLastSubfolderFirstWithEachFoldersFilesAfterItsSubfolders) {
  TempFolder folder;
  makeTree(folder);
  WalkWindow window;
  window.scripted.drives.map('D', folder / "disc/");
  window.filList.setPattern("*.AVI");
  EXPECT_FALSE(window.walkFrom("D:"));
  // The drive's folder was given with a trailing separator: still one
  // separator between the folder and the name.
  EXPECT_EQ(window.found(), QStringList({folder / "disc/B/B1/b1.avi", folder / "disc/B/b.avi",
                                         folder / "disc/A/a.avi", folder / "disc/root.avi"}));
  EXPECT_EQ(window.lblCount.text(), " 4");
  EXPECT_EQ(window.dirList.path(), folder / "disc");
  EXPECT_EQ(window.scripted.desktop.eventRuns, 4) << "once per folder";
  EXPECT_TRUE(window.scripted.messages.shown.empty());

  // A deeper start folder; the count goes on from where it stood.
  window.lstFoundFiles.clear();
  EXPECT_FALSE(window.walkFrom("D:\\b"));
  EXPECT_EQ(window.found(), QStringList({folder / "disc/B/B1/b1.avi", folder / "disc/B/b.avi"}));
  EXPECT_EQ(window.lblCount.text(), " 6");
  EXPECT_EQ(window.dirList.path(), folder / "disc/B");
}

TEST(WalkFolders, NamesAndPatternsMatchWithoutCaseAndEachFileCountsOnce) {
  TempFolder folder;
  folder.write("clip.Avi", "");
  folder.write("CLIP.mpg", "");
  folder.write("b.AVI", "");
  folder.write(".hidden.avi", "");
  folder.write(".hidden-folder/inside.avi", "");
  folder.write("line\nbreak.avi", "");
  folder.write("empty/nothing.txt", "");
  WalkWindow window;
  window.filList.setPattern("*.avi;CLIP.*");
  EXPECT_FALSE(window.walkFrom(folder.path()));
  EXPECT_EQ(window.found(),
            QStringList({folder / "b.AVI", folder / "clip.Avi", folder / "CLIP.mpg"}));
  EXPECT_EQ(window.lblCount.text(), " 3");
}

TEST(WalkFolders, AnEmptyFolderAddsNothingAndGoesBackToTheFolderToReturnTo) {
  TempFolder folder;
  folder.write("empty/x.txt", "");
  WalkWindow window;
  window.filList.setPattern("*.AVI");
  window.dirList.setPath(folder / "empty");
  EXPECT_FALSE(window.walk.WalkFolders(window.dirList.path(), folder.path()));
  EXPECT_TRUE(window.found().isEmpty());
  EXPECT_EQ(window.dirList.path(), folder.path());
  EXPECT_EQ(window.filList.path(), folder.path());
  EXPECT_EQ(window.lblCount.text(), "0");
}

TEST(WalkFolders, CancelIsSeenAtTheNextFolderAndNothingIsRecordedAfterIt) {
  TempFolder folder;
  makeTree(folder);
  WalkWindow window;
  window.filList.setPattern("*.AVI");

  // Clicked before the walk starts: seen at the first folder.
  QMetaObject::invokeMethod(&window.cancel, "click", Qt::QueuedConnection);
  EXPECT_TRUE(window.walkFrom(folder / "disc"));
  EXPECT_TRUE(window.found().isEmpty());

  // Clicked from the event step on entering A: the walk stops there. B1 and
  // B came before and were recorded; nothing after them is.
  window.scripted.desktop.onLetEventsRun = [&] {
    if (window.dirList.path() == folder / "disc/A")
      QMetaObject::invokeMethod(&window.cancel, "click", Qt::QueuedConnection);
  };
  EXPECT_TRUE(window.walkFrom(folder / "disc"));
  EXPECT_EQ(window.found(), QStringList({folder / "disc/B/B1/b1.avi", folder / "disc/B/b.avi"}));
  EXPECT_EQ(window.dirList.path(), folder / "disc/A") << "left where it stopped";
}

TEST(WalkFolders, ASecondWalkFromInsideTheFirstIsRefused) {
  TempFolder folder;
  makeTree(folder);
  WalkWindow window;
  window.filList.setPattern("*.AVI");
  int refused = 0;
  window.scripted.desktop.onLetEventsRun = [&] {
    if (window.walk.WalkFolders(folder.path(), QString()))
      ++refused;
  };
  EXPECT_FALSE(window.walkFrom(folder / "disc"));
  EXPECT_EQ(refused, 4);
  EXPECT_EQ(window.found().size(), 4);
  EXPECT_FALSE(window.walk.isRunning());
}

TEST(WalkFolders, AFullFoundListAbandonsTheWalkWithTheWindowsMessage) {
  TempFolder folder;
  makeTree(folder);
  WalkWindow window(foundListOf(2, "You've filled the list box. Abandoning search..."));
  window.filList.setPattern("*.AVI");
  EXPECT_TRUE(window.walkFrom(folder / "disc"));
  EXPECT_EQ(window.found(), QStringList({folder / "disc/B/B1/b1.avi", folder / "disc/B/b.avi"}));
  ASSERT_EQ(window.scripted.messages.shown.size(), 1u);
  EXPECT_EQ(window.scripted.messages.shown[0].text,
            "You've filled the list box. Abandoning search...");

  WalkWindow silent(foundListOf(1));
  silent.filList.setPattern("*.AVI");
  EXPECT_TRUE(silent.walkFrom(folder / "disc"));
  EXPECT_EQ(silent.found().size(), 1);
  EXPECT_TRUE(silent.scripted.messages.shown.empty());
}

TEST(WalkFolders, AFullPlayListStopsCollectingAndTheProgramGoesOn) {
  TempFolder folder;
  folder.write("one.avi", "");
  folder.write("two.avi", "");
  folder.write("three.avi", "");
  WalkWindow window(scanRules());
  SharedState& state = window.program.state;
  for (int i = 1; i <= 998; ++i)
    state.PlayList[i] = QString("/settings/%1.avi").arg(i);
  state.PlayCount = 998;
  window.filList.setPattern("*.AVI");
  EXPECT_TRUE(window.walkFrom(folder.path()));
  EXPECT_EQ(state.PlayCount, 1000);
  EXPECT_EQ(state.PlayList[998], "/settings/998.avi");
  EXPECT_EQ(state.PlayList[999], folder / "one.avi");
  EXPECT_EQ(state.PlayList[1000], folder / "three.avi");
  EXPECT_EQ(window.found().size(), 2);
  EXPECT_TRUE(window.scripted.messages.shown.empty());
  EXPECT_TRUE(window.scripted.process.endings.empty());
}

TEST(WalkFolders, ALinkBackUpTheTreeIsNotFollowed) {
  TempFolder folder;
  folder.write("top/clip.avi", "");
  folder.write("top/inner/deep.avi", "");
  ASSERT_EQ(::symlink("..", qPrintable(folder / "top/inner/up")), 0);
  ASSERT_EQ(::symlink(qPrintable(folder / "top"), qPrintable(folder / "top/again")), 0);
  WalkWindow window;
  window.filList.setPattern("*.AVI");
  EXPECT_FALSE(window.walkFrom(folder / "top"));
  EXPECT_EQ(window.found(), QStringList({folder / "top/inner/deep.avi", folder / "top/clip.avi"}));
}

TEST(WalkFolders, AFolderThisUserMayNotOpenIsPassedOver) {
  TempFolder folder;
  folder.write("tree/a.avi", "");
  folder.write("tree/lost+found/hidden-from-us.avi", "");
  folder.write("tree/open/b.avi", "");
  // Not even its owner may open it, so the test holds whoever runs it.
  ::chmod(qPrintable(folder / "tree/lost+found"), 0);
  openPathToOthers(qPrintable(folder / "tree/open"));
  ::chmod(qPrintable(folder / "tree"), 0755);
  ::chmod(qPrintable(folder / "tree/open"), 0755);
  const QString tree = folder / "tree";
  // The child reports: 1 for each expected entry found, 8 for a message
  // shown, 16 for the program ended.
  const int result = runUnprivileged([&] {
    WalkWindow window(scanRules());
    window.filList.setPattern("*.AVI");
    try {
      window.walkFrom(tree);
    } catch (const platform::ProgramEnded&) {
      return 16;
    }
    const QStringList found = window.found();
    return (found == QStringList({tree + "/open/b.avi", tree + "/a.avi"}) ? 1 : 2) +
           (window.scripted.messages.shown.empty() ? 0 : 8);
  });
  ::chmod(qPrintable(folder / "tree/lost+found"), 0700);
  EXPECT_EQ(result, 1);
}

TEST(WalkFolders, AFolderThatVanishesBeforeTheWalkEntersItIsPassedOver) {
  TempFolder folder;
  // B1 goes away after B was listed, before the walk goes into it.
  for (const WalkRules& rules : {WalkRules{}, scanRules()}) {
    makeTree(folder);
    WalkWindow window(rules);
    window.filList.setPattern("*.AVI");
    window.scripted.desktop.onLetEventsRun = [&folder, &window] {
      if (window.dirList.path() == folder / "disc/B")
        QDir(folder / "disc/B/B1").removeRecursively();
    };
    EXPECT_FALSE(window.walkFrom(folder / "disc"));
    EXPECT_EQ(window.found(), QStringList({folder / "disc/B/b.avi", folder / "disc/A/a.avi",
                                           folder / "disc/root.avi"}));
    EXPECT_TRUE(window.scripted.messages.shown.empty());
    EXPECT_TRUE(window.scripted.process.endings.empty());
  }
}

TEST(WalkFolders, ANameThatIsNotUtf8IsFoundAndLeadsToTheSameFile) {
  TempFolder folder;
  const QByteArray name = platform::toHostBytes(folder.path()) + "/caf\xe9.avi";
  const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ::close(fd);
  WalkWindow window;
  window.filList.setPattern("*.AVI");
  window.walkFrom(folder.path());
  ASSERT_EQ(window.found().size(), 1);
  EXPECT_EQ(platform::toHostBytes(window.found()[0]), name);
}

// Every byte a name may hold (all but '/' and NUL), in a folder name and in a
// file name: each file is found under a name that opens it, and the play list
// saved and read back names the same files.
TEST(WalkFolders, NamesHoldingAnyByteAreFoundAndSurviveTheSettingsFile) {
  TempFolder folder;
  const QByteArray root = platform::toHostBytes(folder.path());
  QList<QByteArray> created;
  for (int value = 1; value < 256; ++value) {
    if (value == '/')
      continue;
    const char byte = static_cast<char>(value);
    const QByteArray inner = root + "/f" + byte + "g";
    ASSERT_EQ(::mkdir(inner.constData(), 0755), 0) << value;
    const QByteArray file = inner + "/a" + byte + "b.avi";
    const int fd = ::open(file.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0) << value;
    ::close(fd);
    if (byte != '\n' && byte != '\r')
      created << file;
  }
  WalkWindow window;
  window.filList.setPattern("*.AVI");
  window.walkFrom(folder.path());

  const QStringList found = window.found();
  QList<QByteArray> foundBytes;
  for (const QString& entry : found)
    foundBytes << platform::toHostBytes(entry);
  std::sort(created.begin(), created.end());
  std::sort(foundBytes.begin(), foundBytes.end());
  EXPECT_EQ(foundBytes, created) << "all but the two names holding a line break";

  const QString settings = folder.write("ReelvistaSaver.INI", {});
  writeSettingsFile(settings, {"", "*.AVI", found});
  SharedState state;
  readSettingsFile(settings, state);
  ASSERT_EQ(state.PlayCount, found.size());
  for (int slot = 1; slot <= state.PlayCount; ++slot)
    EXPECT_EQ(state.PlayList[slot], found[slot - 1]) << slot;
}
