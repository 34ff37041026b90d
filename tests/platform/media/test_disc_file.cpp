// From a file of a mounted disc to its device and its path on the disc.
#include <gtest/gtest.h>

#include <QFile>

#include "platform/media/disc_file.h"
#include "support/temp_folder.h"

using platform::discFileOf;
using platform::parseMounts;
using platform::unreadableVideoCdTrack;

TEST(DiscFile, TheDeepestMountHoldingTheFileNamesItsDisc) {
  TempFolder folder;
  const QString cdrom = folder / "cd rom";
  const auto mounts = parseMounts(("/dev/sda1 / ext4 rw 0 0\n"
                                   "/dev/sr1 " +
                                   QString(cdrom).replace(' ', "\\040") +
                                   " udf ro 0 0\n"
                                   "/dev/sr0 " +
                                   QString(cdrom).replace(' ', "\\040") +
                                   " iso9660 ro 0 0\n"
                                   "/dev/sdb1 " +
                                   folder.path() + "/cd ext4 rw 0 0\n")
                                      .toUtf8());
  folder.write("cd rom/MPEGAV/AVSEQ01.DAT", "x");
  QFile::link(cdrom, folder / "link");

  const auto disc = discFileOf(cdrom + "/MPEGAV/AVSEQ01.DAT", mounts);
  ASSERT_TRUE(disc.has_value());
  EXPECT_EQ(disc->device, "/dev/sr0");  // mounted last over the same folder
  EXPECT_EQ(disc->pathOnDisc, "/MPEGAV/AVSEQ01.DAT");
  const auto throughLink = discFileOf(folder / "link/MPEGAV/./AVSEQ01.DAT", mounts);
  ASSERT_TRUE(throughLink.has_value());
  EXPECT_EQ(throughLink->pathOnDisc, "/MPEGAV/AVSEQ01.DAT");

  EXPECT_FALSE(discFileOf(folder / "cd/AVSEQ01.DAT", mounts).has_value());  // not "cd rom"
  EXPECT_FALSE(discFileOf(folder / "elsewhere.dat", mounts).has_value());
  EXPECT_FALSE(discFileOf("/x.dat", {}).has_value());
}

TEST(DiscFile, OnlyADatFileOnADiscThatCannotBeReadNeedsTheTrackReader) {
  TempFolder folder;
  const auto mounts = parseMounts(
      ("/dev/sda1 / ext4 rw 0 0\n/dev/sr0 " + folder.path() + "/cd iso9660 ro 0 0\n").toUtf8());
  // Reading this process's memory at offset 0 fails with EIO, as a drive
  // refuses a Mode 2 Form 2 sector.
  folder.write("cd/MPEGAV/readable.dat", "RIFF");
  QFile::link("/proc/self/mem", folder / "cd/MPEGAV/AVSEQ01.DAT");
  QFile::link("/proc/self/mem", folder / "cd/MPEGAV/AVSEQ01.MPG");
  folder.write("elsewhere/x", "");
  QFile::link("/proc/self/mem", folder / "elsewhere/AVSEQ01.DAT");

  const auto track = unreadableVideoCdTrack(folder / "cd/MPEGAV/AVSEQ01.DAT", mounts);
  ASSERT_TRUE(track.has_value());
  EXPECT_EQ(track->device, "/dev/sr0");
  EXPECT_EQ(track->pathOnDisc, "/MPEGAV/AVSEQ01.DAT");
  EXPECT_FALSE(unreadableVideoCdTrack(folder / "cd/MPEGAV/readable.dat", mounts));
  EXPECT_FALSE(unreadableVideoCdTrack(folder / "cd/MPEGAV/AVSEQ01.MPG", mounts));
  EXPECT_FALSE(unreadableVideoCdTrack(folder / "elsewhere/AVSEQ01.DAT", mounts));
}
