#include <QApplication>
#include <clocale>

#include "platform/desktop_platform.h"
#include "program_windows.h"
#include "startup/startup.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // libmpv refuses to start under any other numeric locale.
  std::setlocale(LC_NUMERIC, "C");

  platform::Platform desktop = platform::makeDesktopPlatform(argc, argv);
  Program program(desktop, programWindows());
  StartUp(program);
  if (!program.windows.anyVisible())
    return 0;
  return application.exec();
}
