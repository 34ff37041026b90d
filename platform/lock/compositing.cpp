#include "platform/lock/compositing.h"

#include <xcb/xfixes.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace platform {
namespace {

xcb_atom_t atom(xcb_connection_t* connection, const std::string& name) {
  const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
      xcb_intern_atom_reply(
          connection,
          xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()),
          nullptr),
      &std::free);
  return reply ? reply->atom : XCB_NONE;
}

int screenNumber(xcb_connection_t* connection, const xcb_screen_t* screen) {
  int number = 0;
  for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection)); it.rem;
       xcb_screen_next(&it), ++number) {
    if (it.data->root == screen->root)
      return number;
  }
  return 0;
}

}  // namespace

CompositingManager::CompositingManager(xcb_connection_t* connection, const xcb_screen_t* screen)
    : connection_(connection),
      selection_(
          atom(connection, "_NET_WM_CM_S" + std::to_string(screenNumber(connection, screen)))) {
  watch(screen->root);
}

void CompositingManager::watch(xcb_window_t root) {
  const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(connection_, &xcb_xfixes_id);
  if (!xfixes || !xfixes->present || selection_ == XCB_NONE)
    return;
  // The server takes no other XFixes request before this one.
  std::free(xcb_xfixes_query_version_reply(
      connection_, xcb_xfixes_query_version(connection_, XCB_XFIXES_MAJOR_VERSION, 0), nullptr));
  xcb_xfixes_select_selection_input(connection_, root, selection_,
                                    XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                        XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                        XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
  xfixesEvents_ = xfixes->first_event;
}

bool CompositingManager::cameOrWent(const xcb_generic_event_t& event) const {
  return xfixesEvents_ != 0 &&
         (event.response_type & ~0x80) == xfixesEvents_ + XCB_XFIXES_SELECTION_NOTIFY;
}

bool CompositingManager::runs() const {
  if (selection_ == XCB_NONE)
    return false;
  const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
      xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, selection_),
                                    nullptr),
      &std::free);
  return owner && owner->owner != XCB_NONE;
}

void markOpaque(xcb_connection_t* connection, xcb_window_t window) {
  const xcb_atom_t opacity = atom(connection, "_NET_WM_WINDOW_OPACITY");
  const std::uint32_t opaque = 0xffffffff;
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, opacity, XCB_ATOM_CARDINAL, 32, 1,
                      &opaque);
}

}  // namespace platform
