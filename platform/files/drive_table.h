#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <optional>
#include <vector>

namespace platform {

// A drive as the program names it: a letter and a colon ("D:"), leading to a
// folder of the host.
struct Drive {
  QChar letter;    // upper case
  QString source;  // the folder or device the drive stands for
  QString folder;  // where its files are now; empty when the drive is not ready

  bool ready() const { return !folder.isEmpty(); }
  QString name() const { return QString(letter) + ':'; }
};

// The machine's drives. A drive is ready when its folder exists and may be
// read: for a device, when it is mounted now.
class DriveTable {
 public:
  virtual ~DriveTable() = default;

  // The drives as they stand now, in letter order.
  virtual std::vector<Drive> drives() const = 0;

  // The drive with that letter (either case), ready or not.
  std::optional<Drive> find(QChar letter) const;
  // The folder of a ready drive. Throws PlatformError (DeviceUnavailable)
  // when there is no such drive or it is not ready.
  QString folderOf(QChar letter) const;
  // The ready drive whose folder holds the host path (the deepest such
  // folder), as "D:"; empty when none does.
  QString driveOf(const QString& hostPath) const;
};

// The table of this desktop: the per-user file "drives" when there is one,
// otherwise C: for "/", then the optical drives (/dev/sr0, /dev/sr1, ...),
// then the mounted removable media in mount-point order.
class DesktopDriveTable final : public DriveTable {
 public:
  // The file "drives" in ${XDG_CONFIG_HOME:-$HOME/.config}/reelvista/.
  DesktopDriveTable();
  explicit DesktopDriveTable(QString drivesFile);

  std::vector<Drive> drives() const override;

 private:
  QString drivesFile_;
};

// One line of the drives file: "D: /media/cdrom0" or "D: /dev/sr0".
struct DriveLine {
  QChar letter;
  QString source;
};
// Lines that are not of that form (blank lines, "#" comments) are skipped;
// a letter given twice keeps its first line. "~/" at the start of a source
// stands for the home folder.
std::vector<DriveLine> parseDrivesFile(const QByteArray& bytes);

// One line of /proc/self/mounts: what is mounted where.
struct Mount {
  QString device;
  QString folder;
  QString type;  // the file system: ext4, vfat, iso9660, udf, proc, nfs4, fuse.sshfs, ...
};
std::vector<Mount> parseMounts(const QByteArray& bytes);
// The mount table of this process now (/proc/self/mounts; empty when it
// cannot be read).
std::vector<Mount> currentMounts();

// Where the device is mounted according to the mount table (the first
// mount of it), or empty when it is not mounted. Links to devices
// (/dev/cdrom) count as the device they lead to.
QString mountPointOf(const QString& device, const std::vector<Mount>& mounts);

// True for a source that names a device rather than a folder.
bool isDeviceSource(const QString& source);

}  // namespace platform
