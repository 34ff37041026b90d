#include <gtest/gtest.h>

#include "platform/controls/drive_list.h"
#include "platform/errors.h"
#include "platform/files/drive_table.h"
#include "platform/scripted/scripted_drive_table.h"
#include "support/failure.h"
#include "support/qt_printers.h"
#include "support/temp_folder.h"

using platform::DesktopDriveTable;
using platform::DriveList;
using platform::ErrorNumber;

namespace {}  // namespace

TEST(DriveTable, TheDrivesFileNamesAFolderOrADeviceALine) {
  qputenv("HOME", "/home/someone");
  const auto lines = platform::parseDrivesFile(
      "# the drives\r\n"
      "d: /media/cdrom0\r\n"
      "E:/srv/with blanks/  \n"
      "\n"
      "F: ~/Videos\n"
      "G: relative/folder\n"
      "D: /ignored/second/D\n"
      "H /no/colon\n"
      "I: /dev/sr1\n");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].letter, 'D');
  EXPECT_EQ(lines[0].source, "/media/cdrom0");
  EXPECT_EQ(lines[1].source, "/srv/with blanks/");
  EXPECT_EQ(lines[2].source, "/home/someone/Videos");
  EXPECT_EQ(lines[3].letter, 'I');
  EXPECT_TRUE(platform::isDeviceSource(lines[3].source));
  EXPECT_FALSE(platform::isDeviceSource(lines[0].source));
}

TEST(DriveTable, ADeviceIsReadWhereItIsMounted) {
  const auto mounts = platform::parseMounts(
      "/dev/sda1 / ext4 rw 0 0\n"
      "/dev/sr0 /media/my\\040disc iso9660 ro 0 0\n"
      "/dev/sr0 /mnt/again iso9660 ro 0 0\n");
  ASSERT_EQ(mounts.size(), 3u);
  EXPECT_EQ(mounts[1].type, "iso9660");
  EXPECT_EQ(platform::mountPointOf("/dev/sr0", mounts), "/media/my disc");
  EXPECT_EQ(platform::mountPointOf("/dev/sr1", mounts), "");
}

TEST(DriveTable, ReadyDrivesLeadToTheirFolderAndOthersAreUnavailable) {
  TempFolder folder;
  folder.write("disc/CLIP.MPG", "x");
  folder.write("disc/deeper/more/x", "x");
  const QString file =
      folder.write("drives", ("D: " + folder / "disc" + "\nE: " + folder / "gone" +
                              "\nF: /dev/no-such-device\n" + "G: " + folder / "disc/deeper" +
                              "\nH: " + folder / "disc/CLIP.MPG" + "\nI: /dev/null\n")
                                 .toUtf8());
  DesktopDriveTable table(file);

  const auto drives = table.drives();
  ASSERT_EQ(drives.size(), 6u);
  EXPECT_EQ(drives[0].name(), "D:");
  EXPECT_TRUE(drives[0].ready());
  EXPECT_FALSE(drives[1].ready()) << "a missing folder";
  EXPECT_FALSE(drives[2].ready()) << "a missing device";
  EXPECT_FALSE(drives[4].ready()) << "a file";
  EXPECT_FALSE(drives[5].ready()) << "a device that holds no file system";
  EXPECT_EQ(table.folderOf('d'), folder / "disc");
  EXPECT_EQ(failureOf([&] { table.folderOf('E'); }), ErrorNumber::DeviceUnavailable);
  EXPECT_EQ(failureOf([&] { table.folderOf('F'); }), ErrorNumber::DeviceUnavailable);
  EXPECT_EQ(failureOf([&] { table.folderOf('Q'); }), ErrorNumber::DeviceUnavailable);
  EXPECT_EQ(failureOf([&] { table.folderOf('H'); }), ErrorNumber::DeviceUnavailable);
  EXPECT_EQ(failureOf([&] { table.folderOf('I'); }), ErrorNumber::DeviceUnavailable);

  // The deepest drive holding a path is its drive.
  EXPECT_EQ(table.driveOf(folder / "disc/CLIP.MPG"), "D:");
  EXPECT_EQ(table.driveOf(folder / "disc/deeper/more"), "G:");
  EXPECT_EQ(table.driveOf(folder / "discs"), "");
}

TEST(DriveTable, WithoutTheFileCIsTheRootAndTheRestFollowInLetterOrder) {
  DesktopDriveTable table("/nonexistent/reelvista/drives");
  const auto drives = table.drives();
  ASSERT_FALSE(drives.empty());
  EXPECT_EQ(drives[0].name(), "C:");
  EXPECT_EQ(drives[0].folder, "/");
  for (size_t i = 1; i < drives.size(); ++i)
    EXPECT_EQ(drives[i].letter.unicode(), 'C' + i);
  EXPECT_EQ(table.driveOf("/usr/bin"), "C:");
}

TEST(DriveList, ChoosesReadyDrivesByTheirLetterAndTellsOfEveryChange) {
  TempFolder folder;
  platform::scripted::ScriptedDriveTable table;
  table.map('d', folder.path());
  table.map('E', folder / "empty");
  table.setReady('E', false);
  DriveList list(table);
  ASSERT_EQ(list.count(), 3);
  EXPECT_EQ(list.itemText(0), "C: [/]");
  EXPECT_EQ(list.itemText(1), "D: [" + folder.path() + "]");
  EXPECT_TRUE(list.drive().startsWith("C:")) << "the drive of the working folder";

  int changes = 0;
  QObject::connect(&list, &DriveList::changed, [&] { ++changes; });
  list.setDrive("d:");
  EXPECT_TRUE(list.drive().startsWith("D:"));
  EXPECT_EQ(changes, 1);
  list.setDrive(list.drive());  // the entry's own text names its drive
  EXPECT_EQ(changes, 1);

  EXPECT_EQ(failureOf([&] { list.setDrive("E:"); }), ErrorNumber::DeviceUnavailable);
  EXPECT_EQ(failureOf([&] { list.setDrive("Q:"); }), ErrorNumber::DeviceUnavailable);
  EXPECT_EQ(failureOf([&] { list.setDrive(""); }), ErrorNumber::DeviceUnavailable);
  EXPECT_TRUE(list.drive().startsWith("D:"));
  EXPECT_EQ(changes, 1);

  // A disc comes into E:; the list learns of it when it looks again.
  table.setReady('E', true);
  list.setDrive("E:");
  EXPECT_EQ(list.drive(), "E: [" + folder / "empty" + "]");
  list.setDriveOfPath(folder / "inside/deep");
  EXPECT_TRUE(list.drive().startsWith("D:"));

  // The chosen drive taken away: the list falls back to the first.
  table.remove('D');
  list.refresh();
  EXPECT_TRUE(list.drive().startsWith("C:"));

  list.setBackgroundColour(Qt::red);
  EXPECT_EQ(list.palette().color(QPalette::Base), QColor(Qt::red));
}
