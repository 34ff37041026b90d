#pragma once

#include <functional>
#include <memory>

#include "platform/desktop.h"
#include "platform/file_dialog.h"
#include "platform/files/drive_table.h"
#include "platform/lock/guard_link.h"
#include "platform/lock/password_change.h"
#include "platform/lock/password_prompt.h"
#include "platform/lock/user_registry.h"
#include "platform/message_boxes.h"
#include "platform/process.h"

class QWidget;

namespace platform {

class Player;

// Everything the program needs of the desktop, handed to StartUp as one
// object. Tests build one from scripted stand-ins (platform/scripted).
struct Platform {
  std::unique_ptr<Process> process;
  std::unique_ptr<Desktop> desktop;
  std::unique_ptr<MessageBoxes> messages;
  std::unique_ptr<PasswordChange> passwordChange;
  std::unique_ptr<FileDialog> fileDialog;
  std::unique_ptr<DriveTable> drives;
  // The per-user settings store ("ScreenSaveUsePassword") and the password
  // prompt.
  std::unique_ptr<UserRegistry> userRegistry;
  std::unique_ptr<PasswordPrompt> passwordPrompt;
  // In saver mode, the line to the guard process that holds a locked
  // screen whatever happens to the saver, and hands it the keys.
  std::unique_ptr<GuardLink> guard;
  // Makes the media player control inside the given window, with a sound
  // output or without one.
  std::function<Player*(QWidget* parent, bool sound)> makePlayer;
};

}  // namespace platform
