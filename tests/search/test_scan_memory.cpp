#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <functional>

#include "platform/controls/file_list.h"
#include "platform/controls/folder_list.h"
#include "platform/files/folder_times.h"
#include "platform/files/scan_memory_file.h"
#include "platform/scripted/scripted_platform.h"
#include "search/scan_memory.h"
#include "search/walk_folders.h"
#include "startup/program.h"
#include "support/qt_printers.h"
#include "support/temp_folder.h"

namespace {

constexpr std::int64_t kSecond = 1'000'000'000;
const QString kPatterns = QStringLiteral("*.AVI;*.MPG");

// Nine folders, made this instant; a link in A leads to a clip elsewhere.
void makeTree(const TempFolder& folder) {
  for (const char* file : {"disc/root.avi", "disc/A/a.avi", "disc/A/notes.txt", "disc/B/b.mpg",
                           "disc/B/B1/b1.avi", "disc/B/B1/deeper/d.avi", "elsewhere/X/x.avi",
                           "elsewhere/target.avi", "elsewhere/B1/o.avi"})
    folder.write(file, "");
  ::symlink("../../elsewhere/target.avi", qPrintable(folder / "disc/A/link.avi"));
}
constexpr int kFoldersOfDisc = 5;

// A walk as the scan makes it. With a memory file, its memory believes the
// walk started `later` than now: a test cannot wait for the folders it just
// made to settle.
struct Walk {
  QStringList found;
  std::shared_ptr<ScanMemory> memory;

  Walk(const QString& start, const QString& memoryFile = {}, std::int64_t later = 10 * kSecond,
       qint64 maxBytes = ScanMemory::kMaxBytes) {
    platform::scripted::ScriptedPlatform scripted;
    Program program(scripted.platform, {});
    platform::FolderList dirList(*scripted.platform.drives);
    platform::FileList filList(*scripted.platform.drives);
    QListWidget lstFoundFiles;
    QLabel lblCount("0");
    WalkRules rules;
    if (!memoryFile.isEmpty()) {
      rules.scanMemory = [&](const QString& from, const QString& patterns) {
        memory = std::make_shared<ScanMemory>(
            memoryFile, WalkKey{from, patterns, platform::readerIdentity()},
            platform::FolderTimesTable::ofThisSystem(), platform::nowNs() + later, maxBytes);
        return memory;
      };
    }
    FolderWalk walk(program, {dirList, filList, lstFoundFiles, lblCount}, rules);
    QObject::connect(&dirList, &platform::FolderList::changed,
                     [&] { filList.setPath(dirList.path()); });
    filList.setPattern(kPatterns);
    dirList.setPath(start);
    walk.WalkFolders(dirList.path(), QString());
    for (int i = 0; i < lstFoundFiles.count(); ++i)
      found << lstFoundFiles.item(i)->text();
  }
};

bool move(const TempFolder& folder, const QString& from, const QString& to) {
  return QDir().rename(folder / from, folder / to);
}

}  // namespace

// Whatever changed between two starts, the walk with the memory finds what
// a walk without it finds, and reads again only the folders that changed.
TEST(ScanMemory, ASecondWalkFindsExactlyWhatAWalkWithoutMemoryFinds) {
  struct Case {
    const char* change;
    std::function<void(const TempFolder&)> make;
    int foldersRead;
  };
  const std::vector<Case> cases = {
      {"nothing", [](const TempFolder&) {}, 1},  // A holds a link a pattern matches
      {"a file added deep down",
       [](const TempFolder& f) { f.write("disc/B/B1/deeper/new.avi", ""); }, 2},
      {"a file removed", [](const TempFolder& f) { QFile::remove(f / "disc/B/b.mpg"); }, 2},
      {"a file renamed", [](const TempFolder& f) { move(f, "disc/root.avi", "disc/root.txt"); }, 2},
      {"a folder moved in from elsewhere",
       [](const TempFolder& f) { move(f, "elsewhere/X", "disc/B/B1/X"); }, 3},
      {"a folder swapped for another of the same name",
       [](const TempFolder& f) {
         QDir(f / "disc/B/B1").removeRecursively();
         move(f, "elsewhere/B1", "disc/B/B1");
       },
       3},
      {"a link's target gone",
       [](const TempFolder& f) { QFile::remove(f / "elsewhere/target.avi"); }, 1},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.change);
    TempFolder folder;
    makeTree(folder);
    const QString memory = folder / "cache/scan-memory";
    const Walk first(folder / "disc", memory);
    EXPECT_EQ(first.memory->readCount(), kFoldersOfDisc);
    test.make(folder);
    const Walk second(folder / "disc", memory);
    EXPECT_EQ(second.found, Walk(folder / "disc").found);
    EXPECT_EQ(second.memory->readCount(), test.foldersRead);
    EXPECT_EQ(Walk(folder / "disc", memory).memory->readCount(), 1) << "remembered anew";
  }
}

TEST(ScanMemory, FoldersChangedJustBeforeTheWalkThatReadThemAreReadAgain) {
  TempFolder folder;
  makeTree(folder);
  const QString memory = folder / "cache/scan-memory";
  EXPECT_EQ(Walk(folder / "disc", memory, 0).memory->readCount(), kFoldersOfDisc);
  EXPECT_EQ(Walk(folder / "disc", memory).memory->readCount(), kFoldersOfDisc);
  EXPECT_EQ(Walk(folder / "disc", memory).memory->readCount(), 1);
}

// A memory that names a clip the disc's folder B does not hold, for exactly
// this walk: believed while intact, so any memory file taken for it shows
// the clip.
QByteArray lyingMemory(const TempFolder& folder, const QString& patterns = kPatterns,
                       QList<quint32> reader = platform::readerIdentity()) {
  RememberedFolders folders;
  RememberedFolder& b = folders[folder / "disc/B"];
  b.stamp = *platform::stampOfFolder(QFile::encodeName(folder / "disc/B"));
  b.files = QStringList{"ghost.avi"};
  return encodeMemory({folder / "disc", patterns, std::move(reader)}, folders);
}

TEST(ScanMemory, AMemoryFileNotMadeForThisWalkIsIgnoredAndWrittenAnew) {
  struct Case {
    const char* memory;
    std::function<void(const TempFolder&, const QString& file)> make;
    bool believed;
    qint64 maxBytes = ScanMemory::kMaxBytes;
  };
  const auto writeLie = [](const TempFolder& f, const QString& file) {
    f.write(file.mid(f.path().size() + 1), lyingMemory(f));
  };
  const std::vector<Case> cases = {
      {"intact", writeLie, true},
      {"damaged",
       [&](const TempFolder& f, const QString& file) {
         QByteArray bytes = lyingMemory(f);
         bytes[bytes.size() - 3] = static_cast<char>(bytes[bytes.size() - 3] ^ 1);
         f.write(file.mid(f.path().size() + 1), bytes);
       },
       false},
      {"cut short",
       [&](const TempFolder& f, const QString& file) {
         f.write(file.mid(f.path().size() + 1), lyingMemory(f).chopped(9));
       },
       false},
      {"of another version",
       [&](const TempFolder& f, const QString& file) {
         QByteArray bytes = lyingMemory(f);
         bytes[4] = static_cast<char>(bytes[4] + 1);
         f.write(file.mid(f.path().size() + 1), bytes);
       },
       false},
      {"for other patterns",
       [&](const TempFolder& f, const QString& file) {
         f.write(file.mid(f.path().size() + 1), lyingMemory(f, "*.AVI"));
       },
       false},
      {"of another reader",
       [&](const TempFolder& f, const QString& file) {
         f.write(file.mid(f.path().size() + 1), lyingMemory(f, kPatterns, {65534, 65534}));
       },
       false},
      {"owned by another user",
       [&](const TempFolder& f, const QString& file) {
         writeLie(f, file);
         ASSERT_EQ(::chown(qPrintable(file), ::geteuid() + 1, ::getegid()), 0);
       },
       false},
      {"larger than the largest memory read", writeLie, false, 64},
      {"a link to a memory",
       [&](const TempFolder& f, const QString& file) {
         f.write("lie", lyingMemory(f));
         ASSERT_EQ(::symlink(qPrintable(f / "lie"), qPrintable(file)), 0);
       },
       false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.memory);
    TempFolder folder;
    makeTree(folder);
    const QString memory = folder / "cache/scan-memory";
    QDir().mkpath(folder / "cache");
    test.make(folder, memory);
    const Walk walk(folder / "disc", memory, 10 * kSecond, test.maxBytes);
    EXPECT_EQ(walk.found.contains(folder / "disc/B/ghost.avi"), test.believed);
    EXPECT_EQ(walk.found == Walk(folder / "disc").found, !test.believed);
    if (test.believed || test.maxBytes < ScanMemory::kMaxBytes)
      continue;
    const std::optional<QByteArray> anew = platform::readOwnFile(memory, ScanMemory::kMaxBytes);
    ASSERT_TRUE(anew.has_value());
    EXPECT_TRUE(
        decodeMemory(*anew, {folder / "disc", kPatterns, platform::readerIdentity()}).has_value());
  }
}

TEST(ScanMemory, WithoutAWritableCacheFolderTheWalkJustWalks) {
  TempFolder folder;
  makeTree(folder);
  folder.write("file", "");
  const QString memory = folder / "file/reelvista/scan-memory";
  const Walk walk(folder / "disc", memory);
  EXPECT_EQ(walk.found, Walk(folder / "disc").found);
  EXPECT_EQ(walk.found.size(), 6);
  EXPECT_FALSE(QFile::exists(memory));
}

// Folder times are trusted on local disks and discs only: another machine
// or program changes a network or FUSE folder, and cameras and other
// systems leave a FAT folder's time as it was.
TEST(ScanMemory, OnlyFileSystemsThatKeepFolderTimesAreTrusted) {
  const platform::FolderTimesTable table(
      "26 1 254:0 / / rw - ext4 /dev/vda rw\n"
      "27 26 0:24 / /tmp rw - tmpfs tmpfs rw\n"
      "28 26 11:0 / /media/cdrom0 ro - iso9660 /dev/sr0 ro\n"
      "29 26 0:50 / /net rw - nfs4 server:/ rw\n"
      "30 26 0:51 / /home/u/remote rw - fuse.sshfs host: rw\n"
      "31 26 8:17 / /media/stick rw - vfat /dev/sdb1 rw\n"
      "32 26 8:18 / /media/disk rw - fuseblk /dev/sdb2 rw\n"
      "33 26 254:0 /srv /mnt/srv rw - ext4 /dev/vda rw\n"
      "34 26 8:33 / /a rw - ext4 /dev/sdc1 rw\n"
      "35 26 8:33 / /b rw - vfat /dev/sdc1 rw\n"
      "a broken line\n");
  const std::vector<std::pair<std::uint64_t, bool>> devices = {
      {makedev(254, 0), true}, {makedev(0, 24), true},  {makedev(11, 0), true},
      {makedev(0, 50), false}, {makedev(0, 51), false}, {makedev(8, 17), false},
      {makedev(8, 18), false}, {makedev(8, 33), false}, {makedev(9, 9), false},
  };
  for (const auto& [device, trusted] : devices)
    EXPECT_EQ(table.trusts(device), trusted) << major(device) << ":" << minor(device);
}

// The memory's stamp must be the folder's to the nanosecond.
TEST(ScanMemory, AFolderIsRecalledOnlyWhenItsStampIsTheRemembered) {
  TempFolder folder;
  folder.write("disc/clip.avi", "");
  const QString disc = folder / "disc";
  const platform::FolderStamp stamp = *platform::stampOfFolder(QFile::encodeName(disc));
  const WalkKey key{disc, kPatterns, platform::readerIdentity()};
  const QString file =
      folder.write("memory", encodeMemory(key, {{disc, {stamp, {}, {"clip.avi"}}}}));
  ScanMemory memory(file, key, platform::FolderTimesTable::ofThisSystem(), platform::nowNs());
  const std::vector<std::pair<const char*, std::function<void(platform::FolderStamp&)>>> changes = {
      {"another device", [](platform::FolderStamp& s) { ++s.device; }},
      {"another inode", [](platform::FolderStamp& s) { ++s.inode; }},
      {"modified a nanosecond later", [](platform::FolderStamp& s) { ++s.modifiedNs; }},
      {"changed a nanosecond later", [](platform::FolderStamp& s) { ++s.changedNs; }},
  };
  for (const auto& [change, make] : changes) {
    platform::FolderStamp now = stamp;
    make(now);
    EXPECT_EQ(memory.recall(disc, now), nullptr) << change;
  }
  const auto recalled = memory.recall(disc, stamp);
  ASSERT_NE(recalled, nullptr);
  EXPECT_EQ(recalled->files, QStringList{"clip.avi"});
  EXPECT_EQ(recalled->onlyMatching, kPatterns);
}
