#pragma once

#include <QString>
#include <QStringList>

// --help and --version, as any Linux command answers them; they come before
// every other reading of the command line.
enum class CommandHelp { None, Help, Version };

CommandHelp commandHelpOf(const QStringList& arguments);

// What --help prints: how to start each mode.
QString helpText();
// What --version prints: the name and the version, one line.
QString versionText();
