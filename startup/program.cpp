#include "startup/program.h"

#include <QApplication>

Windows::Windows(Program& program, Factories factories)
    : program_(program), factories_(std::move(factories)) {}

Windows::~Windows() = default;

QWidget& Windows::reference(std::unique_ptr<QWidget>& slot, const Factory& make) {
  if (!slot)
    slot = make(program_);
  return *slot;
}

QList<QWidget*> Windows::loaded() const {
  QList<QWidget*> windows;
  for (const auto* slot : {&setup_, &winSeek_, &canvas_}) {
    if (*slot)
      windows << slot->get();
  }
  return windows;
}

bool Windows::anyVisible() const {
  const auto topLevels = QApplication::topLevelWidgets();
  return std::any_of(topLevels.begin(), topLevels.end(),
                     [](const QWidget* window) { return window->isVisible(); });
}

Program::Program(platform::Platform& services, Windows::Factories factories)
    : platform(services), windows(*this, std::move(factories)) {}
