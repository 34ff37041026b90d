#include <QApplication>

#include "platform/desktop_platform.h"
#include "program_windows.h"
#include "startup/startup.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);

  platform::Platform desktop = platform::makeDesktopPlatform(argc, argv);
  Program program(desktop, programWindows());
  StartUp(program);
  if (!program.windows.anyVisible())
    return 0;
  return application.exec();
}
