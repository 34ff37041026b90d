#include <gtest/gtest.h>

#include "platform/files/drive_table.h"
#include "platform/files/system_folders.h"

using platform::SystemFolders;

namespace {

const QByteArray kMounts =
    "/dev/sda1 / ext4 rw 0 0\n"
    "proc /proc proc rw 0 0\n"
    "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
    "debugfs /mnt/debug debugfs rw 0 0\n"
    "tmpfs /tmp tmpfs rw 0 0\n"
    "server:/export /srv/share nfs4 rw 0 0\n"
    "me@host:/ /home/me/remote fuse.sshfs rw 0 0\n"
    "/dev/sdb1 /media/me/ntfs fuseblk rw 0 0\n"
    "/dev/sdc1 /media/me/My\\040Stick vfat rw 0 0\n";

}  // namespace

TEST(SystemFolders, AWalkStaysOffKernelFileSystemsAndTheNetworkBelowIt) {
  const SystemFolders fromRoot(platform::parseMounts(kMounts), "/");
  for (const char* left : {"/proc", "/proc/1/task", "/sys/block", "/dev", "/dev/shm", "/run/user/0",
                           "/mnt/debug/x", "/srv/share", "/srv/share/films", "/home/me/remote/a"})
    EXPECT_TRUE(fromRoot.excludes(left)) << left;
  for (const char* walked : {"/", "/tmp/clips", "/home/me", "/media/me/ntfs/films",
                             "/media/me/My Stick", "/procedures", "/srv", "/runner"})
    EXPECT_FALSE(fromRoot.excludes(walked)) << walked;

  // A drive mapped to a network share walks it, as asked; a share below it
  // still stays out.
  const SystemFolders fromShare(platform::parseMounts(kMounts), "/srv/share/");
  EXPECT_FALSE(fromShare.excludes("/srv/share/films"));
  EXPECT_TRUE(fromShare.excludes("/home/me/remote"));
  EXPECT_TRUE(fromShare.excludes("/proc"));
}
