#include "startup/command_help.h"

CommandHelp commandHelpOf(const QStringList& arguments) {
  if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h")))
    return CommandHelp::Help;
  if (arguments.contains(QStringLiteral("--version")))
    return CommandHelp::Version;
  return CommandHelp::None;
}

QString helpText() {
  return QStringLiteral(
      "Usage: reelvista [/S | /P | /A]\n"
      "       reelvista --root | --window-id ID\n"
      "Plays your own video and sound files as a screen saver.\n"
      "\n"
      "  (nothing)         open the settings dialog (the play list, the drive scan)\n"
      "  /S                run the saver full screen until a key, a click or the password\n"
      "  /P                preview: there is none, ends at once\n"
      "  /A                change the password: the login password is used, nothing changes\n"
      "  --root            play into the window XSCREENSAVER_WINDOW names (hex 0x... or\n"
      "                    decimal): run by another screen saver; without it, over the\n"
      "                    whole screen, under every other window\n"
      "  --window-id ID    play into the window ID, without sound (a settings preview)\n"
      "  --help            show this text and end\n"
      "  --version         show the version and end\n"
      "\n"
      "The settings file ReelvistaSaver.INI lives beside the program when you may write\n"
      "there, else in ${XDG_CONFIG_HOME:-~/.config}/reelvista/.\n");
}

QString versionText() {
  return QStringLiteral("reelvista " REELVISTA_VERSION "\n");
}
