#pragma once

#include <QApplication>
#include <functional>

// Runs one step of the program (the delivery of an event, and with it the
// handler it reaches). A failure that escapes it must not unwind through
// Qt's event dispatch, which cannot take one: the program ends instead, with
// the failure's description on standard error and status 1. Returns what
// the step returned.
bool runEndingOnFailure(const std::function<bool()>& step, const std::function<void(int)>& end);

// The program's application: every event handler runs through
// runEndingOnFailure.
class ProgramApplication final : public QApplication {
 public:
  ProgramApplication(int& argc, char** argv);

  // How the program ends after a failure; until set, at once.
  void endWith(std::function<void(int)> end) { end_ = std::move(end); }
  bool run(const std::function<bool()>& step) { return runEndingOnFailure(step, end_); }

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  std::function<void(int)> end_;
};
