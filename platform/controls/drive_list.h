#pragma once

#include <QColor>
#include <QComboBox>

#include "platform/files/drive_table.h"

namespace platform {

// The drive chooser: one entry a drive of the table, each reading as the
// letter, a colon and where the drive leads ("D: [/media/cdrom0]"). A
// change of the chosen drive raises changed(), whether the user or the
// program made it.
class DriveList : public QComboBox {
  Q_OBJECT

 public:
  explicit DriveList(const DriveTable& table, QWidget* parent = nullptr);

  // Reads the table again (a disc may have come or gone), keeping the
  // chosen drive when it is still there.
  void refresh();
  // The chosen entry's text; empty when the table has no drives.
  QString drive() const;
  // Chooses the drive named by the letter and colon at the start of the text
  // ("d:", "D: [/media/cdrom0]", "D:\MPEGAV"). Throws PlatformError
  // (DeviceUnavailable) when there is no such drive or it is not ready; the
  // choice then stays as it was.
  void setDrive(const QString& text);
  // Chooses the drive whose folder holds the host path; nothing changes when
  // no drive does.
  void setDriveOfPath(const QString& hostPath);
  void setBackgroundColour(const QColor& colour);

  // The text of a drive's entry.
  static QString entryText(const Drive& drive);

 signals:
  void changed();

 protected:
  void showPopup() override;

 private:
  int indexOfLetter(QChar letter) const;

  const DriveTable& table_;
};

}  // namespace platform
