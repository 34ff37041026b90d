#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>

#include "platform/controls/file_list.h"
#include "platform/controls/folder_list.h"
#include "platform/errors.h"
#include "platform/files/host_text.h"
#include "platform/scripted/scripted_drive_table.h"
#include "support/failure.h"
#include "support/qt_printers.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"
#include "support/wait.h"

using platform::ErrorNumber;
using platform::FileList;
using platform::FolderList;
using platform::PlatformError;

namespace {

QStringList subfolders(const FolderList& list) {
  QStringList names;
  for (int i = 0; i < list.subfolderCount(); ++i)
    names << list.subfolder(i);
  return names;
}

QStringList files(const FileList& list) {
  QStringList names;
  for (int i = 0; i < list.fileCount(); ++i)
    names << list.fileName(i);
  return names;
}

}  // namespace

TEST(DirectoryLister, ListsRealFoldersSortedWithoutCaseRegularFilesAndLinksWithoutHiddenOnes) {
  TempFolder folder;
  folder.write("b.avi", "b");
  folder.write("A.avi", "a");
  folder.write("C.AVI", "c");
  folder.write(".hidden.avi", "h");
  folder.write("Zeta/x", "x");
  folder.write("alpha/x", "x");
  folder.write(".secret/x", "x");
  ASSERT_EQ(::symlink("alpha", qPrintable(folder / "link-to-folder")), 0);
  ASSERT_EQ(::symlink("b.avi", qPrintable(folder / "link-to-file.avi")), 0);
  ASSERT_EQ(::symlink("missing", qPrintable(folder / "dangling.avi")), 0);
  ASSERT_EQ(::mkfifo(qPrintable(folder / "fifo.avi"), 0600), 0);

  const platform::FolderListing listing = platform::readFolder(folder.path());
  EXPECT_EQ(listing.folders, QStringList({"alpha", "Zeta"}));
  QStringList files = listing.files;
  platform::sortNames(files);
  EXPECT_EQ(files, QStringList({"A.avi", "b.avi", "C.AVI", "link-to-file.avi"}));
  QStringList links = listing.links;
  platform::sortNames(links);
  EXPECT_EQ(links, QStringList({"dangling.avi", "link-to-file.avi", "link-to-folder"}));
  EXPECT_EQ(failureOf([&] { platform::readFolder(folder / "missing"); }),
            ErrorNumber::PathNotFound);
  EXPECT_EQ(failureOf([&] { platform::readFolder(folder / "b.avi"); }), ErrorNumber::PathNotFound);
}

TEST(FolderList, DrivePathsLeadToTheDrivesFolderFoundWithoutRegardToCase) {
  TempFolder folder;
  folder.write("disc/mpegav/AVSEQ01.DAT", "1");
  folder.write("disc/Video/Deep/x", "x");
  folder.write("disc/clip.mpg", "x");
  platform::scripted::ScriptedDriveTable drives;
  drives.map('D', folder / "disc");
  drives.map('E', folder / "no-disc");
  drives.setReady('E', false);
  FolderList list(drives);
  int changes = 0;
  QObject::connect(&list, &FolderList::changed, [&] { ++changes; });

  list.setPath("d:\\");
  EXPECT_EQ(list.path(), folder / "disc");
  EXPECT_EQ(subfolders(list), QStringList({folder / "disc/mpegav", folder / "disc/Video"}));
  EXPECT_EQ(changes, 1);
  list.setPath("D:");  // a bare drive: the drive's folder, as the program is not there
  EXPECT_EQ(list.path(), folder / "disc");
  EXPECT_EQ(changes, 1) << "the same folder again is no change";

  list.setPath("D:\\MPEGAV\\");
  EXPECT_EQ(list.path(), folder / "disc/mpegav");
  list.setPath("D:\\video\\DEEP");
  EXPECT_EQ(list.path(), folder / "disc/Video/Deep");
  EXPECT_EQ(list.entry(-1), folder / "disc/Video/Deep");
  EXPECT_EQ(list.entry(-2), folder / "disc/Video");
  EXPECT_EQ(list.highlightedIndex(), -1);
  list.setPath("D: [" + folder / "disc" + "]");  // a drive list's entry
  EXPECT_EQ(list.path(), folder / "disc");
  list.setPath("C:");  // the drive the program works in: its working folder
  EXPECT_EQ(list.path(), QDir::currentPath());
  list.setPath(folder / "DISC/video/deep/..");  // host paths are found without case too
  EXPECT_EQ(list.path(), folder / "disc/Video");
  list.setPath("..");
  EXPECT_EQ(list.path(), folder / "disc");
  EXPECT_EQ(changes, 7);

  EXPECT_EQ(failureOf([&] { list.setPath("E:\\"); }), ErrorNumber::DeviceUnavailable);
  EXPECT_EQ(failureOf([&] { list.setPath("Q:"); }), ErrorNumber::DeviceUnavailable);
  EXPECT_EQ(failureOf([&] { list.setPath("D:\\NOTHERE\\"); }), ErrorNumber::PathNotFound);
  EXPECT_EQ(failureOf([&] { list.setPath("D:\\clip.mpg"); }), ErrorNumber::PathNotFound);
  EXPECT_EQ(list.path(), folder / "disc") << "a failed change leaves the list as it was";
  EXPECT_EQ(changes, 7);
}

// Lists out of sight (the scan window's) tell their views of new rows only
// once they are seen; what they say in the meantime is already the new.
TEST(FolderList, AListOutOfSightShowsItsRowsWhenSeen) {
  TempFolder folder;
  folder.write("disc/a/x.avi", "x");
  folder.write("disc/b/y.avi", "y");
  platform::scripted::ScriptedDriveTable drives;
  FolderList dirList(drives);
  FileList filList(drives);
  filList.setPattern("*.avi");
  dirList.setPath(folder / "disc");
  dirList.setPath(folder / "disc/a");
  filList.setPath(dirList.path());
  EXPECT_EQ(dirList.model()->rowCount(), 0);
  EXPECT_EQ(filList.model()->rowCount(), 0);
  EXPECT_EQ(dirList.entry(-2), folder / "disc");
  EXPECT_EQ(files(filList), QStringList({"x.avi"}));
  EXPECT_EQ(dirList.highlightedIndex(), -1);

  dirList.show();
  filList.show();
  ASSERT_TRUE(waitRunningEvents(
      [&] { return dirList.model()->rowCount() > 0 && filList.model()->rowCount() > 0; }, 5000));
  const QStringList above = QDir::cleanPath(folder / "disc/a").split('/', Qt::SkipEmptyParts);
  EXPECT_EQ(dirList.model()->rowCount(), above.size() + 1);
  EXPECT_EQ(dirList.model()->index(above.size(), 0).data().toString().trimmed(), "a");
  EXPECT_EQ(filList.model()->index(0, 0).data().toString(), "x.avi");
  dirList.setPath(folder / "disc/b");
  EXPECT_EQ(dirList.model()->index(above.size(), 0).data().toString().trimmed(), "b")
      << "seen: at once";
}

TEST(FolderList, AFolderThisUserMayNotReadIsRefused) {
  TempFolder folder;
  folder.write("locked/x", "x");
  ::chmod(qPrintable(folder / "locked"), 0);
  openPathToOthers(qPrintable(folder.path()));
  const QString locked = folder / "locked";
  const int result = runUnprivileged([&] {
    platform::scripted::ScriptedDriveTable drives;
    FolderList list(drives);
    try {
      list.setPath(locked);
    } catch (const PlatformError& error) {
      return static_cast<int>(error.number());
    }
    return 0;
  });
  EXPECT_EQ(result, static_cast<int>(ErrorNumber::PermissionDenied));
}

TEST(FileList, ShowsEachMatchingFileOnceWhateverTheCase) {
  TempFolder folder;
  folder.write("clip.Avi", "1");
  folder.write("CLIP.mpg", "2");
  folder.write("both.avi", "3");
  folder.write("notes.txt", "4");
  folder.write(".hidden.avi", "5");
  platform::scripted::ScriptedDriveTable drives;
  drives.map('D', folder.path());
  FileList list(drives);
  EXPECT_EQ(list.pattern(), "*.*");
  list.setPath("d:");
  EXPECT_EQ(files(list), QStringList({"both.avi", "clip.Avi", "CLIP.mpg", "notes.txt"}));
  list.setPattern("*.AVI;BOTH.*;*.mpg");
  EXPECT_EQ(files(list), QStringList({"both.avi", "clip.Avi", "CLIP.mpg"}));
  EXPECT_EQ(list.fileName(3), "");
  EXPECT_EQ(failureOf([&] { list.setPath(folder / "gone"); }), ErrorNumber::PathNotFound);
  EXPECT_EQ(list.fileCount(), 3);
}

TEST(FileList, ANameThatIsNotUtf8LeadsBackToTheSameFile) {
  TempFolder folder;
  const QByteArray name = platform::toHostBytes(folder.path()) + "/caf\xe9.mpg";
  const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "latin-1", 7), 7);
  ::close(fd);

  platform::scripted::ScriptedDriveTable drives;
  FileList list(drives);
  list.setPath(folder.path());
  ASSERT_EQ(list.fileCount(), 1);
  const QString path = list.path() + "/" + list.fileName(0);
  const int again = ::open(platform::toHostBytes(path).constData(), O_RDONLY);
  ASSERT_GE(again, 0);
  char bytes[8] = {};
  EXPECT_EQ(::read(again, bytes, sizeof bytes), 7);
  ::close(again);
}
