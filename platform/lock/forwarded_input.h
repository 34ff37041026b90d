#pragma once

#include <QKeyEvent>
#include <memory>

#include "platform/lock/guard_protocol.h"

namespace platform {

// The Qt key event for a key the guard handed over: the key's code as Qt
// names it, the modifiers held, and the text the keyboard's layout gave.
std::unique_ptr<QKeyEvent> keyEventFor(const GuardCommand& key);

// The Qt button for an X pointer button; Qt::NoButton for the wheel's
// "buttons", which are no press of a button.
Qt::MouseButton mouseButtonFor(std::uint32_t button);

}  // namespace platform
