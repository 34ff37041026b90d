#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/files/directory_lister.h"
#include "platform/files/folder_times.h"
#include "platform/files/patterns.h"

// What a walk is: from where, for which files, read by whom. A memory made
// by another walk is no memory for this one.
struct WalkKey {
  QString start;
  QString patterns;
  QList<quint32> reader;  // user, group, other groups

  bool operator==(const WalkKey&) const = default;
};

// One folder as a walk found it: its media files (only those the patterns
// match) and its subfolders.
struct RememberedFolder {
  platform::FolderStamp stamp;
  QStringList folders;
  QStringList files;

  bool operator==(const RememberedFolder&) const = default;
};
using RememberedFolders = QHash<QString, RememberedFolder>;

// The memory file's bytes: the walk's key, the folders, and a digest that a
// damaged file fails.
QByteArray encodeMemory(const WalkKey& key, const RememberedFolders& folders);
// The folders of a memory made by this program's version for the same
// walk; nothing for any other bytes.
std::optional<RememberedFolders> decodeMemory(const QByteArray& bytes, const WalkKey& key);

// What the start-up scan remembers from one start to the next, so that the
// next walks over an unchanged drive read no folder again. A folder is
// taken from the memory only when it is provably as it was when read:
// - the same device and inode (another disc in the drive, another folder
//   moved in under the name, are read),
// - the same modification and change times to the nanosecond (an entry
//   added, removed or renamed, a change of who may read it),
// - on a file system that keeps folder times (network, FUSE and FAT do not),
// - read well after its last change: a change in the same tick of the
//   file system's clock as the reading would leave its times as they were,
// - and holding no link that the patterns match (a link's target comes and
//   goes without the folder changing).
// Anything else is read from the disc, so a walk with the memory finds
// exactly what a walk without it finds.
class ScanMemory final : public platform::FolderRecall {
 public:
  // The largest memory file read or written.
  static constexpr qint64 kMaxBytes = qint64{64} << 20;

  ScanMemory(QString file, WalkKey key, platform::FolderTimesTable times, std::int64_t startedNs,
             qint64 maxBytes = kMaxBytes);
  // The memory in the file, for a walk from the start folder for the
  // patterns, starting now.
  static ScanMemory forWalk(const QString& file, const QString& start, const QString& patterns);

  std::shared_ptr<const platform::FolderListing> recall(const QString& folder,
                                                        const platform::FolderStamp& now) override;
  void keep(const QString& folder, const platform::FolderListing& listing) override;

  // Writes what this walk learned, when it differs from what was read.
  // Without a writable cache folder nothing is written.
  void save() const;
  // Folders taken from the memory and read from the disc by this walk.
  int recalledCount() const { return recalled_; }
  int readCount() const { return read_; }

 private:
  bool isTrustworthy(const platform::FolderListing& listing) const;
  bool learnedNothing() const;

  QString file_;
  WalkKey key_;
  platform::PatternList patterns_;
  platform::FolderTimesTable times_;
  std::int64_t startedNs_;
  qint64 maxBytes_;
  // What the next walk gets: the folders taken from the memory (known_ is
  // left as read, so its iterators hold) and those read from the disc.
  RememberedFolders known_;
  std::vector<RememberedFolders::const_iterator> recalledFolders_;
  RememberedFolders keptFolders_;
  int recalled_ = 0;
  int read_ = 0;
};

// Makes the memory of a walk from the start folder for the patterns, or
// none.
using ScanMemoryMaker =
    std::function<std::shared_ptr<ScanMemory>(const QString& start, const QString& patterns)>;
// The memory in this user's cache folder; none without a home folder.
std::shared_ptr<ScanMemory> memoryOfThisUser(const QString& start, const QString& patterns);
