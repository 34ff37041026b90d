#include "setup/setup.h"

#include <QEvent>

#include "startup/program.h"

Setup::Setup(Program& program) : program_(program) {
  setWindowTitle(QStringLiteral("Settings"));
  Form_Load();
}

bool Setup::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate)
    Form_Activate();
  return QDialog::event(event);
}

void Setup::Form_Load() {}

void Setup::Form_Activate() {}
