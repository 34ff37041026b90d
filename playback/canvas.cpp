#include "playback/canvas.h"

#include <QEvent>

#include "startup/program.h"

Canvas::Canvas(Program& program) : program_(program) {
  Form_Load();
}

bool Canvas::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate)
    Form_Activate();
  return QWidget::event(event);
}

void Canvas::Form_Load() {}

void Canvas::Form_Activate() {}
