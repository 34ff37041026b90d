#pragma once

#include <QString>

struct Program;

// The first code of the program: decides the mode from the command line,
// reads the settings file and opens the window the mode needs. Returns with
// one window shown, or with none, in which case the program ends.
void StartUp(Program& program);

// The start of a run inside a window another screen saver owns: reads the
// settings file as the saver does and plays into that window. The drive
// scan, when on, runs first without showing its window. Without a settings
// file there is nothing to play and the host's window stays black.
void StartInHostWindow(Program& program);

// True when the command line starts the saver: "/S", and neither "/A" nor
// "/P", which come first.
bool isSaverMode(const QString& upperCommandLine);

// The owner window number that follows "/A" on the command line, 0 if none.
long long ownerWindowAfterSwitch(const QString& upperCommandLine);
