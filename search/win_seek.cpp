#include "search/win_seek.h"

#include <QEvent>

#include "startup/program.h"

WinSeek::WinSeek(Program& program) : program_(program) {
  Form_Load();
}

bool WinSeek::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate)
    Form_Activate();
  return QWidget::event(event);
}

void WinSeek::Form_Load() {}

void WinSeek::Form_Activate() {}
