#pragma once

class QWidget;
struct Program;
namespace platform {
class Player;
struct Platform;
}  // namespace platform

// The one way the running saver ends: shows the pointer, asks for the
// password when the desktop requires one, then ends the program or returns
// to playback. Called by the playback window's input and play-state handlers.
void ExitSaver(Program& program, platform::Player& player, QWidget& canvas);

// True when the saver asks for the password before it ends: the guard
// locked this run at its start (nothing read since opens it), or the
// user's desktop settings ask for it now ("ScreenSaveUsePassword" reads
// exactly 1).
bool passwordRequired(platform::Platform& platform);
