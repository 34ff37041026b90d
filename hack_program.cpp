#include "hack_program.h"

#include <cstdio>

#include "platform/desktop_platform.h"
#include "platform/host_window.h"
#include "program_windows.h"
#include "startup/command_help.h"
#include "startup/hack_mode.h"
#include "startup/program.h"
#include "startup/program_application.h"
#include "startup/startup.h"

namespace {

void print(std::FILE* stream, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stream);
}

// Plays the play list into the host's window until a signal ends the run.
int runHack(int argc, char** argv, const HackMode& mode) {
  ProgramApplication application(argc, argv);
  const std::uint32_t window = mode.window ? mode.window : platform::backgroundWindow();
  if (window == 0) {
    print(stderr, QStringLiteral("Reelvista: there is no X window to play into.\n"));
    return 1;
  }
  // A preview is a small picture in a settings dialog: it keeps quiet.
  const bool sound = !mode.preview && platform::claimDisplaySound();
  platform::Platform desktop = platform::makeHackPlatform(argc, argv, window, sound);
  application.endWith([&desktop](int status) { desktop.process->endAtOnce(status); });
  // A host that goes away without a signal leaves nothing to play into.
  if (!platform::followHostWindow(window, [&desktop] { desktop.process->endAtOnce(0); })) {
    print(
        stderr,
        QStringLiteral("Reelvista: there is no X window 0x%1 to play into.\n").arg(window, 0, 16));
    return 1;
  }
  Program program(desktop, hackWindows());
  application.run([&] {
    StartInHostWindow(program);
    return true;
  });
  return application.exec();
}

}  // namespace

std::optional<int> runOutsideOwnModes(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i)
    arguments << QString::fromLocal8Bit(argv[i]);
  switch (commandHelpOf(arguments)) {
    case CommandHelp::Help:
      print(stdout, helpText());
      return 0;
    case CommandHelp::Version:
      print(stdout, versionText());
      return 0;
    case CommandHelp::None:
      break;
  }
  const HackMode mode = hackModeOf(arguments, qEnvironmentVariable("XSCREENSAVER_WINDOW"));
  if (!mode.on)
    return std::nullopt;
  if (!mode.error.isEmpty()) {
    print(stderr, "Reelvista: " + mode.error + "\n");
    return 2;
  }
  return runHack(argc, argv, mode);
}
