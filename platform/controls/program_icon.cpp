#include "platform/controls/program_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace platform {
namespace {

QPixmap drawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 32.0, size / 32.0);

  // The film: a dark strip with a row of holes along each edge.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(32, 36, 48));
  painter.drawRoundedRect(QRectF(2, 4, 28, 24), 3, 3);
  painter.setBrush(QColor(230, 230, 230));
  for (int i = 0; i < 6; ++i) {
    painter.drawRect(QRectF(4 + i * 4.3, 5.5, 2.4, 2.4));
    painter.drawRect(QRectF(4 + i * 4.3, 24.1, 2.4, 2.4));
  }

  // The picture and the play mark on it.
  painter.setBrush(QColor(40, 120, 200));
  painter.drawRect(QRectF(4, 9.5, 24, 13));
  QPainterPath play;
  play.moveTo(13, 11.5);
  play.lineTo(21, 16);
  play.lineTo(13, 20.5);
  play.closeSubpath();
  painter.setBrush(QColor(255, 200, 40));
  painter.drawPath(play);
  return pixmap;
}

}  // namespace

QIcon programIcon() {
  QIcon icon;
  for (int size : {16, 32, 48})
    icon.addPixmap(drawIcon(size));
  return icon;
}

}  // namespace platform
