#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <QWidget>

#include "platform/controls/units.h"

namespace platform {

// Names a control (its object name is the control's name in the layouts) and
// places it in twips within its container.
template <typename Control>
Control* placeControl(Control* control, const char* name, int left, int top, int width,
                      int height) {
  control->setObjectName(QString::fromLatin1(name));
  control->setGeometry(twipsRect(left, top, width, height));
  return control;
}

// Gives a control a background of one colour. With fill off the control keeps
// the colour (for what it draws) but paints no background, so that it does
// not cover a neighbour it overlaps.
inline void paintBackground(QWidget& control, const QColor& colour, bool fill = true) {
  QPalette colours = control.palette();
  colours.setColor(QPalette::Window, colour);
  control.setPalette(colours);
  control.setAutoFillBackground(fill);
}

}  // namespace platform
