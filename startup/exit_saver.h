#pragma once

class QWidget;
struct Program;
namespace platform {
class Player;
}

// The one way the running saver ends: shows the pointer, asks for the
// password when the desktop requires one, then ends the program or returns
// to playback. Called by the playback window's input and play-state handlers.
void ExitSaver(Program& program, platform::Player& player, QWidget& canvas);
