#include <clocale>

#include "platform/desktop_platform.h"
#include "program_windows.h"
#include "startup/program_application.h"
#include "startup/startup.h"

int main(int argc, char** argv) {
  ProgramApplication application(argc, argv);
  // libmpv refuses to start under any other numeric locale.
  std::setlocale(LC_NUMERIC, "C");

  platform::Platform desktop = platform::makeDesktopPlatform(argc, argv);
  application.endWith([&desktop](int status) { desktop.process->endAtOnce(status); });
  Program program(desktop, programWindows());
  application.run([&] {
    StartUp(program);
    return true;
  });
  if (!program.windows.anyVisible())
    return 0;
  return application.exec();
}
