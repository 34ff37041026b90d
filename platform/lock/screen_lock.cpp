#include "platform/lock/screen_lock.h"

#include <xcb/composite.h>
#include <xcb/randr.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace platform {
namespace {

template <typename Reply>
using Owned = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply>
Owned<Reply> own(Reply* reply) {
  return Owned<Reply>(reply, &std::free);
}

bool isSuccess(std::uint8_t status) {
  return status == XCB_GRAB_STATUS_SUCCESS;
}

}  // namespace

ScreenLock::ScreenLock(xcb_connection_t* connection, xcb_screen_t* screen)
    : connection_(connection), screen_(screen), container_(screen->root) {
  const xcb_query_extension_reply_t* randr = xcb_get_extension_data(connection_, &xcb_randr_id);
  if (randr && randr->present) {
    randrEvents_ = randr->first_event;
    xcb_randr_select_input(connection_, root(), XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE);
  }
  const std::uint32_t rootEvents[] = {XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_change_window_attributes(connection_, root(), XCB_CW_EVENT_MASK, rootEvents);
  xcb_flush(connection_);
}

ScreenLock::~ScreenLock() {
  if (holdsInput_) {
    xcb_ungrab_keyboard(connection_, XCB_CURRENT_TIME);
    xcb_ungrab_pointer(connection_, XCB_CURRENT_TIME);
  }
  if (stage_ != XCB_NONE)
    xcb_destroy_window(connection_, stage_);
  if (overlay_)
    xcb_composite_release_overlay_window(connection_, root());
  if (cursor_ != XCB_NONE)
    xcb_free_cursor(connection_, cursor_);
  xcb_flush(connection_);
}

void ScreenLock::cover() {
  mode_ = Mode::Locked;
  useOverlay();
  const std::uint32_t events[] = {XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY |
                                  XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_change_window_attributes(connection_, container_, XCB_CW_EVENT_MASK, events);
  makeStage();
  repair();
}

void ScreenLock::coverUnder(xcb_window_t playback) {
  mode_ = Mode::Under;
  const xcb_window_t top = topLevel(playback);
  if (std::find(playbacks_.begin(), playbacks_.end(), top) == playbacks_.end())
    playbacks_.push_back(top);
  makeStage();
  repair();
}

// The overlay window is mapped for us from the moment we ask for it until
// we let it go (or our connection closes).
void ScreenLock::useOverlay() {
  const xcb_query_extension_reply_t* composite =
      xcb_get_extension_data(connection_, &xcb_composite_id);
  if (!composite || !composite->present)
    return;
  const auto version = own(xcb_composite_query_version_reply(
      connection_, xcb_composite_query_version(connection_, 0, 3), nullptr));
  if (!version || (version->major_version == 0 && version->minor_version < 3))
    return;
  const auto overlay = own(xcb_composite_get_overlay_window_reply(
      connection_, xcb_composite_get_overlay_window(connection_, root()), nullptr));
  if (!overlay || overlay->overlay_win == XCB_NONE)
    return;
  container_ = overlay->overlay_win;
  overlay_ = true;
}

void ScreenLock::makeStage() {
  if (stage_ != XCB_NONE)
    return;
  stage_ = xcb_generate_id(connection_);
  // Override-redirect where it is a child of the root, so that no window
  // manager frames or moves it.
  const std::uint32_t values[] = {screen_->black_pixel, 1, invisibleCursor()};
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, stage_, container_, 0, 0,
                    screen_->width_in_pixels, screen_->height_in_pixels, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                    XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_CURSOR, values);
  // A name, for whoever looks at the screen's windows (xwininfo -tree).
  constexpr std::string_view name = "Reelvista cover";
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, stage_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING,
                      8, name.size(), name.data());
}

bool ScreenLock::grab() {
  const auto keyboard =
      own(xcb_grab_keyboard_reply(connection_,
                                  xcb_grab_keyboard(connection_, 0, root(), XCB_CURRENT_TIME,
                                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                  nullptr));
  const auto pointer = own(xcb_grab_pointer_reply(
      connection_,
      xcb_grab_pointer(
          connection_, 0, root(), XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE,
          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
      nullptr));
  holdsInput_ = keyboard && isSuccess(keyboard->status) && pointer && isSuccess(pointer->status);
  return holdsInput_;
}

// No pointer over the black stage; over the saver's own windows it shows
// as the saver says (hidden over playback, shown over the prompt).
xcb_cursor_t ScreenLock::invisibleCursor() {
  if (cursor_ != XCB_NONE)
    return cursor_;
  const xcb_pixmap_t blank = xcb_generate_id(connection_);
  xcb_create_pixmap(connection_, 1, blank, root(), 1, 1);
  const xcb_gcontext_t clear = xcb_generate_id(connection_);
  const std::uint32_t foreground[] = {0};
  xcb_create_gc(connection_, clear, blank, XCB_GC_FOREGROUND, foreground);
  const xcb_rectangle_t all{0, 0, 1, 1};
  xcb_poly_fill_rectangle(connection_, blank, clear, 1, &all);
  cursor_ = xcb_generate_id(connection_);
  xcb_create_cursor(connection_, cursor_, blank, blank, 0, 0, 0, 0, 0, 0, 0, 0);
  xcb_free_gc(connection_, clear);
  xcb_free_pixmap(connection_, blank);
  return cursor_;
}

void ScreenLock::keep(xcb_window_t window) {
  std::erase(kept_, window);
  kept_.push_back(window);
}

void ScreenLock::letGo(xcb_window_t window) {
  std::erase(kept_, window);
}

ScreenLock::Repair ScreenLock::repairFor(const xcb_generic_event_t& event) {
  const int type = event.response_type & ~0x80;
  if (randrEvents_ && type == randrEvents_ + XCB_RANDR_SCREEN_CHANGE_NOTIFY)
    return Repair::Now;
  if (type == XCB_CONFIGURE_NOTIFY &&
      reinterpret_cast<const xcb_configure_notify_event_t&>(event).window == root()) {
    return Repair::Now;  // the screen's size
  }
  if (mode_ != Mode::Locked)
    return Repair::None;
  if (type == XCB_DESTROY_NOTIFY) {
    letGo(reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window);
    return Repair::Soon;
  }
  if (type == XCB_UNMAP_NOTIFY) {
    const xcb_window_t window = reinterpret_cast<const xcb_unmap_notify_event_t&>(event).window;
    return window == stage_ || window == container_ ? Repair::Now : Repair::Soon;
  }
  const bool stacking = type == XCB_MAP_NOTIFY || type == XCB_CONFIGURE_NOTIFY ||
                        type == XCB_REPARENT_NOTIFY || type == XCB_CIRCULATE_NOTIFY;
  return stacking ? Repair::Soon : Repair::None;
}

void ScreenLock::repair() {
  if (mode_ == Mode::Off)
    return;
  followRootSize();
  if (mode_ == Mode::Locked) {
    keepKeptWindows();
    if (!stackedAsItShouldBe())
      restack();
    grab();
  } else {
    restack();
  }
  xcb_flush(connection_);
}

void ScreenLock::followRootSize() {
  const auto geometry =
      own(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, root()), nullptr));
  if (!geometry)
    return;
  const std::uint32_t values[] = {0, 0, geometry->width, geometry->height};
  xcb_configure_window(connection_, stage_,
                       XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                           XCB_CONFIG_WINDOW_HEIGHT,
                       values);
  if (container_ != root() && !mapped(container_))
    xcb_map_window(connection_, container_);
  if (!mapped(stage_))
    xcb_map_window(connection_, stage_);
}

// A window of the saver's that another client took away, hid or moved out
// comes back where it was on the screen.
void ScreenLock::keepKeptWindows() {
  for (const xcb_window_t window : kept_) {
    if (container_ != root() && parentOf(window) != container_) {
      const auto place = own(xcb_translate_coordinates_reply(
          connection_, xcb_translate_coordinates(connection_, window, root(), 0, 0), nullptr));
      if (!place)
        continue;  // gone
      xcb_reparent_window(connection_, window, container_, place->dst_x, place->dst_y);
    }
    if (!mapped(window))
      xcb_map_window(connection_, window);
  }
}

bool ScreenLock::stackedAsItShouldBe() const {
  const auto tree =
      own(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, container_), nullptr));
  if (!tree)
    return false;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  std::vector<xcb_window_t> wanted{stage_};
  wanted.insert(wanted.end(), kept_.begin(), kept_.end());
  if (count < static_cast<int>(wanted.size()))
    return false;
  return std::equal(wanted.begin(), wanted.end(), children + count - wanted.size());
}

void ScreenLock::restack() {
  if (mode_ == Mode::Under) {
    const std::uint32_t values[] = {lowestPlayback(), XCB_STACK_MODE_BELOW};
    // A playback window that is gone (or not a sibling) makes this fail
    // harmlessly; the stage then stays where it was.
    xcb_configure_window(connection_, stage_,
                         XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    xcb_map_window(connection_, stage_);
    return;
  }
  const std::uint32_t top[] = {XCB_STACK_MODE_ABOVE};
  xcb_configure_window(connection_, stage_, XCB_CONFIG_WINDOW_STACK_MODE, top);
  for (const xcb_window_t window : kept_)
    xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_STACK_MODE, top);
}

// The root's children come bottom first; a playback window that is gone is
// among them no more.
xcb_window_t ScreenLock::lowestPlayback() const {
  const auto tree =
      own(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root()), nullptr));
  if (!tree)
    return playbacks_.empty() ? XCB_NONE : playbacks_.front();
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  for (int i = 0; i < count; ++i) {
    if (std::find(playbacks_.begin(), playbacks_.end(), children[i]) != playbacks_.end())
      return children[i];
  }
  return XCB_NONE;
}

bool ScreenLock::mapped(xcb_window_t window) const {
  const auto attributes = own(xcb_get_window_attributes_reply(
      connection_, xcb_get_window_attributes(connection_, window), nullptr));
  return attributes && attributes->map_state != XCB_MAP_STATE_UNMAPPED;
}

xcb_window_t ScreenLock::parentOf(xcb_window_t window) const {
  const auto tree =
      own(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr));
  return tree ? tree->parent : XCB_NONE;
}

// A window manager may have put the playback window into a frame of its
// own; the stage goes under the frame, the child of the root.
xcb_window_t ScreenLock::topLevel(xcb_window_t window) const {
  for (int depth = 0; depth < 8; ++depth) {
    const xcb_window_t parent = parentOf(window);
    if (parent == XCB_NONE || parent == root())
      return window;
    window = parent;
  }
  return window;
}

}  // namespace platform
