#include "platform/controls/drive_list.h"

#include <QDir>

#include "platform/errors.h"

namespace platform {

DriveList::DriveList(const DriveTable& table, QWidget* parent) : QComboBox(parent), table_(table) {
  refresh();
  setDriveOfPath(QDir::currentPath());
  connect(this, &QComboBox::currentIndexChanged, this, &DriveList::changed);
}

QString DriveList::entryText(const Drive& drive) {
  return drive.name() + " [" + (drive.ready() ? drive.folder : drive.source) + "]";
}

void DriveList::refresh() {
  const QChar chosen = currentIndex() >= 0 ? currentText()[0] : QChar();
  const QSignalBlocker quiet(this);
  clear();
  for (const Drive& drive : table_.drives())
    addItem(entryText(drive), QVariant(QString(drive.letter)));
  const int again = chosen.isNull() ? -1 : indexOfLetter(chosen);
  setCurrentIndex(again >= 0 ? again : (count() > 0 ? 0 : -1));
  if (!chosen.isNull() && again < 0)
    emit changed();
}

QString DriveList::drive() const {
  return currentText();
}

void DriveList::setDrive(const QString& text) {
  const QString wanted = text.trimmed();
  if (wanted.size() < 2 || wanted[1] != ':')
    throw PlatformError(ErrorNumber::DeviceUnavailable, "Device unavailable: " + text);
  const auto drive = table_.find(wanted[0]);
  if (!drive || !drive->ready())
    throw PlatformError(ErrorNumber::DeviceUnavailable, "Device unavailable: " + text);
  int index = indexOfLetter(drive->letter);
  if (index < 0 || itemText(index) != entryText(*drive)) {
    refresh();
    index = indexOfLetter(drive->letter);
  }
  setCurrentIndex(index);
}

void DriveList::setDriveOfPath(const QString& hostPath) {
  const QString drive = table_.driveOf(hostPath);
  if (drive.isEmpty())
    return;
  const int index = indexOfLetter(drive[0]);
  if (index >= 0)
    setCurrentIndex(index);
}

void DriveList::setBackgroundColour(const QColor& colour) {
  QPalette colours = palette();
  colours.setColor(QPalette::Base, colour);
  colours.setColor(QPalette::Button, colour);
  setPalette(colours);
}

void DriveList::showPopup() {
  refresh();
  QComboBox::showPopup();
}

int DriveList::indexOfLetter(QChar letter) const {
  return findData(QVariant(QString(letter.toUpper())));
}

}  // namespace platform
