#include "hack_program.h"
#include "platform/desktop_platform.h"
#include "platform/lock/guard.h"
#include "program_windows.h"
#include "startup/program_application.h"
#include "startup/startup.h"

int main(int argc, char** argv) {
  // --help, --version, and a hack in another screen saver's window: no guard.
  if (const std::optional<int> status = runOutsideOwnModes(argc, argv))
    return *status;

  // In saver mode a small guard without Qt runs first, and runs this
  // program again as the saver.
  if (platform::becomesGuard(
          isSaverMode(platform::DesktopProcess(argc, argv).commandLine().toUpper())))
    return platform::runGuard(argv);

  ProgramApplication application(argc, argv);

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
