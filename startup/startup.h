#pragma once

#include <QString>

struct Program;

// The first code of the program: decides the mode from the command line,
// reads the settings file and opens the window the mode needs. Returns with
// one window shown, or with none, in which case the program ends.
void StartUp(Program& program);

// True when the command line starts the saver: "/S", and neither "/A" nor
// "/P", which come first.
bool isSaverMode(const QString& upperCommandLine);

// The owner window number that follows "/A" on the command line, 0 if none.
long long ownerWindowAfterSwitch(const QString& upperCommandLine);
