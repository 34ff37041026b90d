#include "search/scan_memory.h"

#include <QtEndian>
#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "platform/files/host_text.h"
#include "platform/files/scan_memory_file.h"

using platform::FolderListing;
using platform::FolderStamp;

namespace {

constexpr QByteArrayView kMagic = "RVSM";
// Raised whenever what is written changes, so no other version's file is
// ever read as this one's.
constexpr quint32 kFormatVersion = 1;
constexpr qsizetype kDigestSize = 8;
constexpr qsizetype kHeaderSize = 4 + 4 + kDigestSize;
// A change made this close to the start of the walk that read the folder
// may have left the folder's times as they were (FAT and some discs keep
// times in whole seconds, or two).
constexpr std::int64_t kSettleNs = std::int64_t{2'000'000'000};

class Writer {
 public:
  void number(quint64 value) {
    const quint64 little = qToLittleEndian(value);
    bytes_.append(reinterpret_cast<const char*>(&little), sizeof little);
  }
  void text(const QString& value) {
    const QByteArray host = platform::toHostBytes(value);
    number(static_cast<quint64>(host.size()));
    bytes_.append(host);
  }
  void texts(const QStringList& values) {
    number(static_cast<quint64>(values.size()));
    for (const QString& value : values)
      text(value);
  }
  QByteArray take() { return std::move(bytes_); }

 private:
  QByteArray bytes_;
};

// Reads what Writer wrote; any count or length beyond the bytes left marks
// the whole read failed, so no damaged file makes a large allocation.
class Reader {
 public:
  explicit Reader(QByteArrayView bytes) : bytes_(bytes) {}

  quint64 number() {
    quint64 little = 0;
    if (!take(sizeof little))
      return 0;
    std::memcpy(&little, bytes_.data() + at_ - sizeof little, sizeof little);
    return qFromLittleEndian(little);
  }
  QString text() {
    const quint64 size = number();
    if (!take(size))
      return {};
    return platform::fromHostBytes(
        std::string_view(bytes_.data() + at_ - static_cast<qsizetype>(size), size));
  }
  QStringList texts() {
    const quint64 count = number();
    if (count > left() / sizeof(quint64))
      return fail(), QStringList();
    QStringList values;
    values.reserve(static_cast<qsizetype>(count));
    for (quint64 i = 0; i < count && ok_; ++i)
      values << text();
    return values;
  }
  quint64 left() const { return static_cast<quint64>(bytes_.size() - at_); }
  bool ok() const { return ok_; }
  void fail() { ok_ = false; }

 private:
  bool take(quint64 size) {
    if (!ok_ || size > left())
      return ok_ = false;
    at_ += static_cast<qsizetype>(size);
    return true;
  }

  QByteArrayView bytes_;
  qsizetype at_ = 0;
  bool ok_ = true;
};

void writeKey(Writer& out, const WalkKey& key) {
  out.text(key.start);
  out.text(key.patterns);
  out.number(static_cast<quint64>(key.reader.size()));
  for (const quint32 id : key.reader)
    out.number(id);
}

WalkKey readKey(Reader& in) {
  WalkKey key;
  key.start = in.text();
  key.patterns = in.text();
  const quint64 count = in.number();
  if (count > in.left() / sizeof(quint64))
    return in.fail(), key;
  for (quint64 i = 0; i < count; ++i)
    key.reader << static_cast<quint32>(in.number());
  return key;
}

void writeFolder(Writer& out, const QString& path, const RememberedFolder& folder) {
  out.text(path);
  out.number(folder.stamp.device);
  out.number(folder.stamp.inode);
  out.number(static_cast<quint64>(folder.stamp.modifiedNs));
  out.number(static_cast<quint64>(folder.stamp.changedNs));
  out.texts(folder.folders);
  out.texts(folder.files);
}

std::pair<QString, RememberedFolder> readFolder(Reader& in) {
  QString path = in.text();
  RememberedFolder folder;
  folder.stamp.device = in.number();
  folder.stamp.inode = in.number();
  folder.stamp.modifiedNs = static_cast<std::int64_t>(in.number());
  folder.stamp.changedNs = static_cast<std::int64_t>(in.number());
  folder.folders = in.texts();
  folder.files = in.texts();
  return {std::move(path), std::move(folder)};
}

// A check against damage (a file cut short, a bad sector), not against
// intent: the file is the user's own, and nothing in it is believed without
// a look at the disc. Each step is a bijection of the running value, so one
// changed word always shows; a cryptographic digest cost a fifth of a
// second start.
QByteArray digestOf(QByteArrayView body) {
  constexpr quint64 kOdd = 0x9E3779B97F4A7C15ULL;
  quint64 value = kOdd ^ static_cast<quint64>(body.size());
  for (qsizetype at = 0; at < body.size(); at += 8) {
    quint64 word = 0;
    std::memcpy(&word, body.data() + at,
                static_cast<size_t>(std::min<qsizetype>(8, body.size() - at)));
    value = std::rotl(value ^ qFromLittleEndian(word), 29) * kOdd;
  }
  value ^= value >> 32;
  const quint64 little = qToLittleEndian(value);
  return QByteArray(reinterpret_cast<const char*>(&little), sizeof little);
}

}  // namespace

QByteArray encodeMemory(const WalkKey& key, const RememberedFolders& folders) {
  Writer out;
  writeKey(out, key);
  out.number(static_cast<quint64>(folders.size()));
  for (auto folder = folders.cbegin(); folder != folders.cend(); ++folder)
    writeFolder(out, folder.key(), folder.value());
  const QByteArray body = out.take();
  QByteArray bytes = kMagic.toByteArray();
  const quint32 version = qToLittleEndian(kFormatVersion);
  bytes.append(reinterpret_cast<const char*>(&version), sizeof version);
  bytes.append(digestOf(body));
  bytes.append(body);
  return bytes;
}

std::optional<RememberedFolders> decodeMemory(const QByteArray& bytes, const WalkKey& key) {
  const QByteArrayView all(bytes);
  if (all.size() < kHeaderSize || !all.startsWith(kMagic))
    return std::nullopt;
  quint32 version = 0;
  std::memcpy(&version, all.data() + kMagic.size(), sizeof version);
  const QByteArrayView body = all.sliced(kHeaderSize);
  if (qFromLittleEndian(version) != kFormatVersion ||
      all.sliced(kMagic.size() + 4, kDigestSize) != digestOf(body))
    return std::nullopt;
  Reader in(body);
  if (!(readKey(in) == key))
    return std::nullopt;
  const quint64 count = in.number();
  if (count > in.left() / sizeof(quint64))
    return std::nullopt;
  RememberedFolders folders;
  folders.reserve(static_cast<qsizetype>(count));
  for (quint64 i = 0; i < count && in.ok(); ++i) {
    auto [path, folder] = readFolder(in);
    folders.insert(path, folder);
  }
  if (!in.ok() || in.left() != 0)
    return std::nullopt;
  return folders;
}

ScanMemory::ScanMemory(QString file, WalkKey key, platform::FolderTimesTable times,
                       std::int64_t startedNs, qint64 maxBytes)
    : file_(std::move(file)),
      key_(std::move(key)),
      patterns_(key_.patterns),
      times_(std::move(times)),
      startedNs_(startedNs),
      maxBytes_(maxBytes) {
  if (file_.isEmpty())
    return;
  if (const std::optional<QByteArray> bytes = platform::readOwnFile(file_, maxBytes_))
    known_ = decodeMemory(*bytes, key_).value_or(RememberedFolders());
  recalledFolders_.reserve(static_cast<size_t>(known_.size()));
}

ScanMemory ScanMemory::forWalk(const QString& file, const QString& start, const QString& patterns) {
  return ScanMemory(file, {start, patterns, platform::readerIdentity()},
                    platform::FolderTimesTable::ofThisSystem(), platform::nowNs());
}

std::shared_ptr<const FolderListing> ScanMemory::recall(const QString& folder,
                                                        const FolderStamp& now) {
  const auto found = known_.constFind(folder);
  if (found == known_.cend() || found->stamp != now || !times_.trusts(now.device))
    return nullptr;
  ++recalled_;
  recalledFolders_.push_back(found);
  auto listing = std::make_shared<FolderListing>();
  listing->folders = found->folders;
  listing->files = found->files;
  listing->onlyMatching = key_.patterns;
  listing->stamp = now;
  return listing;
}

void ScanMemory::keep(const QString& folder, const FolderListing& listing) {
  ++read_;
  if (!isTrustworthy(listing))
    return;
  RememberedFolder remembered{listing.stamp, listing.folders, {}};
  for (const QString& file : listing.files) {
    if (patterns_.matches(file))
      remembered.files << file;
  }
  // In the order the file list shows them, which then needs no sorting.
  platform::sortNames(remembered.files);
  keptFolders_.insert(folder, remembered);
}

bool ScanMemory::isTrustworthy(const FolderListing& listing) const {
  const FolderStamp& stamp = listing.stamp;
  if (stamp.inode == 0 || !times_.trusts(stamp.device) ||
      stamp.latestNs() >= startedNs_ - kSettleNs)
    return false;
  return std::none_of(listing.links.begin(), listing.links.end(),
                      [this](const QString& link) { return patterns_.matches(link); });
}

// Every folder remembered was taken from the memory, and no other was
// kept: the memory would be written as it is.
bool ScanMemory::learnedNothing() const {
  if (!keptFolders_.isEmpty() || recalledFolders_.size() < static_cast<size_t>(known_.size()))
    return false;
  // A folder the walk came back to after a long way is taken twice.
  std::vector<const RememberedFolder*> taken;
  taken.reserve(recalledFolders_.size());
  for (const auto& recalled : recalledFolders_)
    taken.push_back(&recalled.value());
  std::sort(taken.begin(), taken.end());
  return std::unique(taken.begin(), taken.end()) - taken.begin() == known_.size();
}

void ScanMemory::save() const {
  if (file_.isEmpty() || learnedNothing())
    return;
  RememberedFolders next;
  next.reserve(static_cast<qsizetype>(recalledFolders_.size()) + keptFolders_.size());
  for (const auto& recalled : recalledFolders_)
    next.insert(recalled.key(), recalled.value());
  // Read from the disc after it was taken from the memory: the disc's.
  for (auto kept = keptFolders_.cbegin(); kept != keptFolders_.cend(); ++kept)
    next.insert(kept.key(), kept.value());
  const QByteArray bytes = encodeMemory(key_, next);
  if (bytes.size() <= maxBytes_)
    platform::replaceOwnFile(file_, bytes);
}

std::shared_ptr<ScanMemory> memoryOfThisUser(const QString& start, const QString& patterns) {
  const QString file = platform::scanMemoryPath();
  if (file.isEmpty())
    return nullptr;
  return std::make_shared<ScanMemory>(ScanMemory::forWalk(file, start, patterns));
}
