#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

#include "platform/controls/placing.h"

namespace platform {

// The dialogs' normal font. The original dialog font is rarely installed on
// Linux, so narrow sans fonts stand in, as the layouts are tight.
QFont dialogFont();

// Names a control, places it in twips within its container and gives it the
// dialog font.
template <typename Control>
Control* placeInDialog(Control* control, const char* name, int left, int top, int width,
                       int height) {
  placeControl(control, name, left, top, width, height)->setFont(dialogFont());
  return control;
}

}  // namespace platform
