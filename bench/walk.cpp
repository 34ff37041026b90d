// The folder walk against a generated tree.
//
//   bench_walk make <folder> <scale>   makes the tree (scale 1: about 50,000
//                                      files in 5,000 folders)
//   bench_walk walk <folder> [shown]   walks it with the default patterns and
//                                      prints "<milliseconds> <files found>
//                                      <processor milliseconds>";
//                                      "shown": the found list is on screen
//   bench_walk walk <folder> memory <file>
//                                      the same with the scan's memory kept in
//                                      the file, read first and written after
//   bench_walk start <drive>           the saver's start, scanning the drive
//                                      (a letter the drives file maps), up to
//                                      the playback window: prints
//                                      "<milliseconds> <processor
//                                      milliseconds>" from the process's start
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <cstdio>
#include <ctime>
#include <string>

#include "platform/controls/file_list.h"
#include "platform/controls/folder_list.h"
#include "platform/desktop_platform.h"
#include "program_windows.h"
#include "search/scan_memory.h"
#include "search/walk_folders.h"
#include "startup/program.h"

namespace {

const char* const kNames[] = {"clip.avi",    "Movie.MPG", "song.mp3", "notes.txt", "photo.jpg",
                              "trailer.Mov", "radio.ra",  "readme",   "cover.png", "show.rm"};

void makeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
    std::perror(path.c_str());
    std::exit(1);
  }
}

void makeFiles(const std::string& folder, int count) {
  for (int i = 0; i < count; ++i) {
    const std::string name = folder + "/" + std::to_string(i) + "-" + kNames[i % 10];
    const int fd = ::open(name.c_str(), O_CREAT | O_WRONLY, 0644);
    if (fd < 0) {
      std::perror(name.c_str());
      std::exit(1);
    }
    ::close(fd);
  }
}

// One folder with 2,000 subfolders of 5 files, one with 20,000 files, and
// 375 chains of 8 nested folders with 7 files each, all times the scale.
void makeTree(const std::string& root, int scale) {
  makeFolder(root);
  makeFolder(root + "/wide");
  for (int i = 0; i < 2000 * scale; ++i) {
    const std::string folder = root + "/wide/w" + std::to_string(i);
    makeFolder(folder);
    makeFiles(folder, 5);
  }
  makeFolder(root + "/big");
  makeFiles(root + "/big", 20000 * scale);
  makeFolder(root + "/deep");
  for (int chain = 0; chain < 375 * scale; ++chain) {
    std::string folder = root + "/deep/c" + std::to_string(chain);
    for (int depth = 0; depth < 8; ++depth) {
      makeFolder(folder);
      makeFiles(folder, 7);
      folder += "/d" + std::to_string(depth);
    }
  }
}

// The processor time of this process, user and system: on a loaded machine
// a steadier figure than the time on the clock.
long long cpuMilliseconds() {
  timespec used{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
  return static_cast<long long>(used.tv_sec) * 1000 + used.tv_nsec / 1'000'000;
}

// The lists live in a shown window. In the scan window the folder and file
// lists lie below its visible area and the found list is hidden; in the
// search dialog the lists are on screen ("shown").
int walk(const QString& root, bool shown, const QString& memoryFile, int argc, char** argv) {
  platform::Platform desktop = platform::makeDesktopPlatform(argc, argv);
  Program program(desktop, {});
  QWidget window;
  window.resize(281, shown ? 400 : 90);
  auto* panel = new QWidget(&window);
  panel->setGeometry(0, shown ? 0 : 248, 281, 400);
  auto* layout = new QVBoxLayout(panel);
  auto* dirList = new platform::FolderList(*desktop.drives);
  auto* filList = new platform::FileList(*desktop.drives);
  auto* found = new QListWidget;
  auto* count = new QLabel(QStringLiteral("0"));
  for (QWidget* control : {static_cast<QWidget*>(dirList), static_cast<QWidget*>(filList),
                           static_cast<QWidget*>(found), static_cast<QWidget*>(count)})
    layout->addWidget(control);
  found->setUniformItemSizes(true);
  found->setVisible(shown);
  count->setVisible(shown);
  window.show();
  QObject::connect(dirList, &platform::FolderList::changed,
                   [&] { filList->setPath(dirList->path()); });
  WalkRules rules;
  rules.foundCapacity = 1 << 30;
  if (!memoryFile.isEmpty()) {
    rules.scanMemory = [&](const QString& start, const QString& patterns) {
      return std::make_shared<ScanMemory>(ScanMemory::forWalk(memoryFile, start, patterns));
    };
  }
  FolderWalk folderWalk(program, {*dirList, *filList, *found, *count}, rules);
  // As the scan window does before it walks: shown, activated and painted,
  // the fonts loaded.
  QCoreApplication::processEvents();

  QElapsedTimer timer;
  timer.start();
  const long long cpuBefore = cpuMilliseconds();
  filList->setPattern(program.state.FileSpec);
  dirList->setPath(root);
  folderWalk.WalkFolders(dirList->path(), QString());
  filList->setPath(dirList->path());
  std::printf("%lld %d %lld\n", static_cast<long long>(timer.elapsed()), found->count(),
              cpuMilliseconds() - cpuBefore);
  return 0;
}

// Ends the process as the playback window is shown, before it plays: from
// there on the start no longer waits for the scan.
class PlaybackShown : public QObject {
 public:
  explicit PlaybackShown(const QElapsedTimer& sinceMain) : sinceMain_(sinceMain) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* window = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::Show && window && window->isWindow() &&
        window->windowTitle() == QStringLiteral("Reelvista")) {
      std::printf("%lld %lld\n", static_cast<long long>(sinceMain_.elapsed()), cpuMilliseconds());
      std::fflush(stdout);
      std::_Exit(0);
    }
    return false;
  }

 private:
  const QElapsedTimer& sinceMain_;
};

// The saver's start as main makes it, without the guard, with the settings
// of a scan of the drive.
int start(const QString& drive, const QElapsedTimer& sinceMain, int argc, char** argv) {
  platform::Platform desktop = platform::makeDesktopPlatform(argc, argv);
  Program program(desktop, programWindows());
  program.state.setDefaults();
  program.state.ScanDrive = drive;
  PlaybackShown playbackShown(sinceMain);
  QCoreApplication::instance()->installEventFilter(&playbackShown);
  QWidget& scan = program.windows.winSeek();
  desktop.desktop->letEventsRun();
  scan.show();
  return QCoreApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer sinceMain;
  sinceMain.start();
  if (argc == 3 && std::string(argv[1]) == "start") {
    QApplication application(argc, argv);
    return start(QString::fromLocal8Bit(argv[2]), sinceMain, argc, argv);
  }
  if (argc == 4 && std::string(argv[1]) == "make") {
    makeTree(argv[2], std::stoi(argv[3]));
    return 0;
  }
  if ((argc == 3 || argc == 4 || argc == 5) && std::string(argv[1]) == "walk") {
    QApplication application(argc, argv);
    const bool shown = argc == 4 && std::string(argv[3]) == "shown";
    const QString memoryFile =
        argc == 5 && std::string(argv[3]) == "memory" ? QString::fromLocal8Bit(argv[4]) : QString();
    return walk(QString::fromLocal8Bit(argv[2]), shown, memoryFile, argc, argv);
  }
  std::fprintf(stderr,
               "usage: bench_walk make <folder> <scale> | walk <folder> [shown | memory <file>] | "
               "start <drive>\n");
  return 2;
}
