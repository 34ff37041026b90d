#include "platform/message_boxes.h"

#include <QMessageBox>

namespace platform {
namespace {

QMessageBox::Icon iconFor(int style) {
  switch (style & 0x70) {
    case style::kCritical:
      return QMessageBox::Critical;
    case 32:
      return QMessageBox::Question;
    case style::kExclamation:
      return QMessageBox::Warning;
    case style::kInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

}  // namespace

int QtMessageBoxes::show(const QString& text, int style, const QString& title, QWidget* owner) {
  QMessageBox box(iconFor(style), title, text, QMessageBox::Ok, owner);
  // A message must be seen even above the full-screen window.
  if (owner == nullptr || (style & style::kSystemModal)) {
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  }
  box.exec();
  return 1;
}

}  // namespace platform
