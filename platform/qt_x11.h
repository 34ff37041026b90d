#pragma once

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <QGuiApplication>

namespace platform {

// The X connection the running application draws through; null when it
// runs on no X display (the offscreen platform of the tests, Wayland).
inline xcb_connection_t* applicationConnection() {
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

}  // namespace platform
