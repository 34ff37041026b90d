#pragma once

#include <xcb/xcb.h>

#include <cstdint>

namespace platform {

// Whether a compositing manager runs on a screen: one that paints the
// screen from off-screen copies of the root's windows owns the screen's
// _NET_WM_CM_S<n> selection while it does.
// The server tells (XFixes) as soon as one comes or goes.
class CompositingManager {
 public:
  CompositingManager(xcb_connection_t* connection, const xcb_screen_t* screen);
  bool runs() const;
  // Whether the event says that one came or went.
  bool cameOrWent(const xcb_generic_event_t& event) const;

 private:
  void watch(xcb_window_t root);

  xcb_connection_t* connection_;
  xcb_atom_t selection_;
  std::uint8_t xfixesEvents_ = 0;  // the first XFixes event code, 0 without XFixes
};

// Asks a compositing manager to paint the window fully opaque, whatever its
// settings make of windows without focus.
void markOpaque(xcb_connection_t* connection, xcb_window_t window);

}  // namespace platform
