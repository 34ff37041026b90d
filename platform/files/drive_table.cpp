#include "platform/files/drive_table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/errors.h"
#include "platform/files/host_text.h"

namespace platform {
namespace {

QString configFolder() {
  const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
  const QString base = xdg.isEmpty() ? qEnvironmentVariable("HOME") + "/.config" : xdg;
  return base + "/reelvista";
}

// Reads the whole file, /proc files included (they tell no size).
bool readFile(const QString& path, QByteArray& bytes) {
  const int fd = ::open(toHostBytes(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  bytes.clear();
  char buffer[8192];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0) {
      ::close(fd);
      return got == 0;
    }
    bytes.append(buffer, got);
  }
}

bool isReadableFolder(const QString& folder) {
  const QByteArray bytes = toHostBytes(folder);
  struct stat info {};
  return ::stat(bytes.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
         ::access(bytes.constData(), R_OK | X_OK) == 0;
}

QString canonical(const QString& path) {
  char resolved[PATH_MAX];
  if (!::realpath(toHostBytes(path).constData(), resolved))
    return path;
  return fromHostBytes(resolved);
}

// The mount table writes blanks, tabs, line breaks and backslashes in names
// as three octal digits after a backslash.
QByteArray unescapeMountField(const QByteArray& field) {
  const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
  QByteArray out;
  out.reserve(field.size());
  for (qsizetype i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
        isOctal(field[i + 2]) && isOctal(field[i + 3])) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                               (field[i + 3] - '0'));
      i += 3;
      continue;
    }
    out += field[i];
  }
  return out;
}

std::vector<Mount> currentMounts() {
  QByteArray bytes;
  readFile(QStringLiteral("/proc/self/mounts"), bytes);
  return parseMounts(bytes);
}

Drive driveFor(QChar letter, const QString& source, const std::vector<Mount>& mounts) {
  Drive drive{letter.toUpper(), source, {}};
  const QString folder = isDeviceSource(source) ? mountPointOf(source, mounts) : source;
  if (!folder.isEmpty() && isReadableFolder(folder))
    drive.folder = QDir::cleanPath(folder);
  return drive;
}

// /dev/sr0, /dev/sr1, ... in number order.
QStringList opticalDevices() {
  static const QRegularExpression name(QStringLiteral("^sr(\\d+)$"));
  std::vector<std::pair<int, QString>> found;
  for (const QString& entry : QDir(QStringLiteral("/dev")).entryList(QDir::System)) {
    const auto match = name.match(entry);
    if (match.hasMatch())
      found.emplace_back(match.captured(1).toInt(), "/dev/" + entry);
  }
  std::sort(found.begin(), found.end());
  QStringList devices;
  for (const auto& item : found)
    devices << item.second;
  return devices;
}

QString sysfsFlag(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  return QString::fromLatin1(file.readAll()).trimmed();
}

// A mounted device counts as removable media when the kernel says so (for a
// partition, of the disk holding it) or when it is mounted where desktops
// mount media.
bool isRemovableMount(const Mount& mount) {
  if (mount.folder.startsWith(QStringLiteral("/media/")) ||
      mount.folder.startsWith(QStringLiteral("/run/media/")))
    return true;
  if (!mount.device.startsWith(QStringLiteral("/dev/")))
    return false;
  const QString block = "/sys/class/block/" + QFileInfo(canonical(mount.device)).fileName();
  if (sysfsFlag(block + "/removable") == QStringLiteral("1"))
    return true;
  if (!QFile::exists(block + "/partition"))
    return false;
  const QString disk = QFileInfo(canonical(block)).dir().path();
  return sysfsFlag(disk + "/removable") == QStringLiteral("1");
}

std::vector<Drive> defaultDrives(const std::vector<Mount>& mounts) {
  std::vector<Drive> drives{driveFor('C', QStringLiteral("/"), mounts)};
  char16_t next = 'D';
  QStringList opticalCanonical;
  for (const QString& device : opticalDevices()) {
    if (next > 'Z')
      return drives;
    drives.push_back(driveFor(QChar(next++), device, mounts));
    opticalCanonical << canonical(device);
  }
  std::vector<Mount> removable;
  for (const Mount& mount : mounts) {
    if (mount.folder != QStringLiteral("/") && isRemovableMount(mount) &&
        !opticalCanonical.contains(canonical(mount.device)))
      removable.push_back(mount);
  }
  std::sort(removable.begin(), removable.end(),
            [](const Mount& a, const Mount& b) { return a.folder < b.folder; });
  for (const Mount& mount : removable) {
    if (next > 'Z')
      break;
    drives.push_back(driveFor(QChar(next++), mount.folder, mounts));
  }
  return drives;
}

}  // namespace

std::optional<Drive> DriveTable::find(QChar letter) const {
  const QChar wanted = letter.toUpper();
  for (Drive& drive : drives()) {
    if (drive.letter == wanted)
      return drive;
  }
  return std::nullopt;
}

QString DriveTable::folderOf(QChar letter) const {
  const auto drive = find(letter);
  if (!drive || !drive->ready())
    throw PlatformError(ErrorNumber::DeviceUnavailable,
                        QStringLiteral("Device unavailable: drive %1:").arg(letter.toUpper()));
  return drive->folder;
}

QString DriveTable::driveOf(const QString& hostPath) const {
  QString best;
  qsizetype bestLength = -1;
  for (const Drive& drive : drives()) {
    if (!drive.ready())
      continue;
    const QString& folder = drive.folder;
    const bool holds =
        hostPath == folder || hostPath.startsWith(folder.endsWith('/') ? folder : folder + '/');
    if (holds && folder.size() > bestLength) {
      best = drive.name();
      bestLength = folder.size();
    }
  }
  return best;
}

DesktopDriveTable::DesktopDriveTable() : drivesFile_(configFolder() + "/drives") {}

DesktopDriveTable::DesktopDriveTable(QString drivesFile) : drivesFile_(std::move(drivesFile)) {}

std::vector<Drive> DesktopDriveTable::drives() const {
  const std::vector<Mount> mounts = currentMounts();
  QByteArray bytes;
  if (!readFile(drivesFile_, bytes))
    return defaultDrives(mounts);
  std::vector<Drive> drives;
  for (const DriveLine& line : parseDrivesFile(bytes))
    drives.push_back(driveFor(line.letter, line.source, mounts));
  std::sort(drives.begin(), drives.end(),
            [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
  return drives;
}

std::vector<DriveLine> parseDrivesFile(const QByteArray& bytes) {
  std::vector<DriveLine> lines;
  for (QByteArray raw : bytes.split('\n')) {
    if (raw.endsWith('\r'))
      raw.chop(1);
    const QString line = fromHostBytes(raw.toStdString()).trimmed();
    if (line.size() < 3 || !line[0].isLetter() || line[0].unicode() > 0x7F || line[1] != ':')
      continue;
    QString source = line.mid(2).trimmed();
    if (source.startsWith(QStringLiteral("~/")))
      source = qEnvironmentVariable("HOME") + source.mid(1);
    if (!source.startsWith('/'))
      continue;
    const QChar letter = line[0].toUpper();
    const bool known = std::any_of(lines.begin(), lines.end(),
                                   [&](const DriveLine& seen) { return seen.letter == letter; });
    if (!known)
      lines.push_back({letter, source});
  }
  return lines;
}

std::vector<Mount> parseMounts(const QByteArray& bytes) {
  std::vector<Mount> mounts;
  for (const QByteArray& line : bytes.split('\n')) {
    const QList<QByteArray> fields = line.split(' ');
    if (fields.size() < 2)
      continue;
    mounts.push_back({fromHostBytes(unescapeMountField(fields[0]).toStdString()),
                      fromHostBytes(unescapeMountField(fields[1]).toStdString()),
                      fields.size() > 2 ? QString::fromLatin1(fields[2]) : QString()});
  }
  return mounts;
}

std::vector<Mount> readMountTable() {
  return currentMounts();
}

QString mountPointOf(const QString& device, const std::vector<Mount>& mounts) {
  const QString wanted = canonical(device);
  for (const Mount& mount : mounts) {
    if (mount.device == device ||
        (mount.device.startsWith('/') && canonical(mount.device) == wanted))
      return mount.folder;
  }
  return {};
}

bool isDeviceSource(const QString& source) {
  return source.startsWith(QStringLiteral("/dev/"));
}

}  // namespace platform
