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

// True when the user's desktop settings ask for the password before the
// saver ends ("ScreenSaveUsePassword" reads exactly 1).
bool passwordRequired(platform::Platform& platform);

// The playback window calls this once it is on screen: while a password is
// required it holds the keyboard and the pointer (the prompt takes them over
// while it is open), so no key or click reaches another program. A window
// system that grants no grab within a few seconds ends the saver with status
// 1: a lock that does not hold must not pass for one.
void lockInputWhilePasswordRequired(Program& program, QWidget& canvas);
