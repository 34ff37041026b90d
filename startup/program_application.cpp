#include "startup/program_application.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/errors.h"

namespace {

void report(const QString& description) {
  std::fprintf(stderr, "Reelvista: %s\n", description.toLocal8Bit().constData());
  std::fflush(stderr);
}

}  // namespace

bool runEndingOnFailure(const std::function<bool()>& step, const std::function<void(int)>& end) {
  try {
    return step();
  } catch (const platform::PlatformError& failure) {
    report(failure.description());
  } catch (const std::exception& failure) {
    report(QString::fromLocal8Bit(failure.what()));
  } catch (...) {
    report(QStringLiteral("an unknown failure ended the program."));
  }
  end(1);
  return true;
}

ProgramApplication::ProgramApplication(int& argc, char** argv)
    : QApplication(argc, argv), end_([](int status) { std::_Exit(status); }) {}

bool ProgramApplication::notify(QObject* receiver, QEvent* event) {
  return run([&] { return QApplication::notify(receiver, event); });
}
