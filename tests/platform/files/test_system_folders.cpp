#include <gtest/gtest.h>

#include "platform/files/drive_table.h"
#include "platform/files/system_folders.h"

using platform::SystemFolders;

namespace {

// Later lines are mounted on top of earlier ones, as in /proc/self/mounts.
const QByteArray kMounts =
    "/dev/sda1 / ext4 rw 0 0\n"
    "proc /proc proc rw 0 0\n"
    "sysfs /sys sysfs rw 0 0\n"
    "tmpfs /sys/fs/cgroup tmpfs rw 0 0\n"
    "cgroup2 /sys/fs/cgroup/unified cgroup2 rw 0 0\n"
    "udev /dev devtmpfs rw 0 0\n"
    "tmpfs /run tmpfs rw 0 0\n"
    "tmpfs /run/user/1000 tmpfs rw 0 0\n"
    "/dev/sdc1 /run/media/me/My\\040Stick vfat rw 0 0\n"
    "/dev/sdb1 /media/me/ntfs fuseblk rw 0 0\n"
    "debugfs /mnt/debug debugfs rw 0 0\n"
    "systemd-1 /mnt/data autofs rw 0 0\n"
    "/dev/sdd1 /mnt/data ext4 rw 0 0\n"
    "auto.net /net autofs rw 0 0\n"
    "server:/export /srv/share nfs4 rw 0 0\n"
    "me@host:/ /srv/share/remote fuse.sshfs rw 0 0\n"
    "server:/old /mnt/hidden/nfs nfs rw 0 0\n"
    "/dev/sde1 /mnt/hidden ext4 rw 0 0\n";

SystemFolders walkFrom(const QString& start, const QString& realStart = {}) {
  return SystemFolders(platform::parseMounts(kMounts), start, realStart);
}

}  // namespace

TEST(SystemFolders, AWalkFromTheRootEntersEveryDiscButNoKernelNetworkOrFuseMount) {
  const SystemFolders fromRoot = walkFrom("/");
  for (const char* left :
       {"/proc", "/proc/1/task", "/sys", "/sys/block", "/sys/fs/cgroup/unified", "/dev",
        "/mnt/debug/x", "/net", "/srv/share", "/srv/share/films", "/srv/share/remote/a"})
    EXPECT_TRUE(fromRoot.excludes(left)) << left;
  for (const char* walked : {"/home/me", "/run", "/run/user/1000/x", "/run/media/me/My Stick/CLIPS",
                             "/media/me/ntfs/films", "/mnt/data", "/mnt/data/CLIPS",
                             "/mnt/hidden/nfs", "/procedures", "/srv", "/runner"})
    EXPECT_FALSE(fromRoot.excludes(walked)) << walked;
}

// A drive mapped into a mount: all of that mount is walked, and still no
// kernel file system, nor a mount of the network below it.
TEST(SystemFolders, AWalkThatStartsInsideAMountWalksAllOfIt) {
  EXPECT_FALSE(walkFrom("/run/media/me/My Stick").excludes("/run/media/me/My Stick/CLIPS/SUB"));
  EXPECT_FALSE(walkFrom("/mnt/data/").excludes("/mnt/data/CLIPS"));
  EXPECT_FALSE(walkFrom("/net").excludes("/net/server/export"));

  const SystemFolders fromShare = walkFrom("/srv/share/");
  EXPECT_FALSE(fromShare.excludes("/srv/share/films"));
  EXPECT_TRUE(fromShare.excludes("/srv/share/remote"));
  EXPECT_FALSE(walkFrom("/srv/share/remote").excludes("/srv/share/remote/a"));

  // Started on a link: the mounts are where the link leads.
  const SystemFolders fromLink = walkFrom("/home/me/share", "/srv/share");
  EXPECT_FALSE(fromLink.excludes("/home/me/share/films"));
  EXPECT_TRUE(fromLink.excludes("/home/me/share/remote"));
  EXPECT_TRUE(walkFrom("/home/me/all", "/").excludes("/home/me/all/proc"));
}

TEST(SystemFolders, WithoutAMountTableTheKernelsUsualFoldersStayOut) {
  const SystemFolders noTable({}, "/");
  EXPECT_TRUE(noTable.excludes("/proc/1"));
  EXPECT_TRUE(noTable.excludes("/sys"));
  EXPECT_FALSE(noTable.excludes("/run/media/me/disc"));
}

// A walk asks for the subfolders of one folder after another, with deeper
// ones in between; a mount among them is still told apart, by whatever name
// the walk reached it.
TEST(SystemFolders, AMountAmongTheSubfoldersAWalkAsksForInTurnIsToldApart) {
  struct Asked {
    const char* folder;
    bool excluded;
  };
  const std::vector<std::pair<SystemFolders, std::vector<Asked>>> walks = {
      {walkFrom("/"),
       {{"/srv", false},
        {"/srv/a", false},
        {"/srv/a/b", false},
        {"/srv/share", true},
        {"/srv/share/x", true},
        {"/srv/z", false},
        {"/srv/a/../share", true},
        {"/mnt/hidden/a", false},
        {"/mnt/hidden/nfs", false}}},
      {walkFrom("/home/me/share", "/srv/share"),
       {{"/home/me/share/films", false},
        {"/home/me/share/films/a", false},
        {"/home/me/share/remote", true},
        {"/home/me/share/remote/deep", true},
        {"/home/me/share/z", false}}},
  };
  for (const auto& [folders, asked] : walks) {
    for (const Asked& each : asked)
      EXPECT_EQ(folders.excludes(each.folder), each.excluded) << each.folder;
  }
}
