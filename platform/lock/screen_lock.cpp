#include "platform/lock/screen_lock.h"

#include <xcb/composite.h>
#include <xcb/randr.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "platform/lock/compositing.h"

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

// The window whose children the event is about (map, configure, reparent
// and circulate events all carry it in the same place).
xcb_window_t parentInEvent(const xcb_generic_event_t& event) {
  return reinterpret_cast<const xcb_map_notify_event_t&>(event).event;
}

}  // namespace

ScreenLock::ScreenLock(xcb_connection_t* connection, xcb_screen_t* screen)
    : connection_(connection), screen_(screen), compositing_(connection, screen) {
  const xcb_query_extension_reply_t* randr = xcb_get_extension_data(connection_, &xcb_randr_id);
  if (randr && randr->present) {
    randrEvents_ = randr->first_event;
    xcb_randr_select_input(connection_, root(), XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE);
  }
  watchSubstructure(root());
  xcb_flush(connection_);
}

ScreenLock::~ScreenLock() {
  if (holdsInput_) {
    xcb_ungrab_keyboard(connection_, XCB_CURRENT_TIME);
    xcb_ungrab_pointer(connection_, XCB_CURRENT_TIME);
  }
  for (const xcb_window_t window : {stage_, backstop_}) {
    if (window != XCB_NONE)
      xcb_destroy_window(connection_, window);
  }
  releaseOverlay();
  if (cursor_ != XCB_NONE)
    xcb_free_cursor(connection_, cursor_);
  xcb_flush(connection_);
}

void ScreenLock::cover() {
  mode_ = Mode::Locked;
  makeStage();
  if (backstop_ == XCB_NONE)
    backstop_ = makeBlackWindow("Reelvista cover, behind");
  watchSubstructure(stage_);
  repair();
}

void ScreenLock::coverUnder(xcb_window_t playback) {
  mode_ = Mode::Under;
  if (std::find(playbacks_.begin(), playbacks_.end(), playback) == playbacks_.end())
    playbacks_.push_back(playback);
  makeStage();
  repair();
}

void ScreenLock::watchSubstructure(xcb_window_t window) {
  const std::uint32_t events[] = {XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY |
                                  XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, events);
}

// Locked, the stage lives in the overlay window unless a compositing manager
// paints over it there; then on the root, as the top window the compositing
// manager paints. The overlay is taken first and let go last, so that the
// stage is never off the screen on its way between the two: the overlay,
// mapped on top, keeps what the screen showed until the stage is back.
void ScreenLock::placeStage() {
  const bool composited = compositing_.runs();
  if (!composited)
    holdOverlay();
  const xcb_window_t home = overlay_ != XCB_NONE && !composited ? overlay_ : root();
  if (parentOf(stage_) != home)
    xcb_reparent_window(connection_, stage_, home, 0, 0);
  stageParent_ = home;
  if (composited)
    releaseOverlay();
}

// The overlay window is mapped for us from the moment we ask for it until
// we let it go (or our connection closes).
void ScreenLock::holdOverlay() {
  if (overlay_ != XCB_NONE)
    return;
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
  overlay_ = overlay->overlay_win;
  watchSubstructure(overlay_);
}

void ScreenLock::releaseOverlay() {
  if (overlay_ == XCB_NONE)
    return;
  xcb_composite_release_overlay_window(connection_, root());
  overlay_ = XCB_NONE;
}

// The stage is made on the root and moved to where it belongs before it is
// first shown.
void ScreenLock::makeStage() {
  if (stage_ == XCB_NONE)
    stage_ = makeBlackWindow("Reelvista cover");
}

// A black window on the root, the screen's size. Override-redirect where it
// is a child of the root, so that no window manager frames or moves it.
xcb_window_t ScreenLock::makeBlackWindow(std::string_view name) {
  const xcb_window_t window = xcb_generate_id(connection_);
  const std::uint32_t values[] = {screen_->black_pixel, 1, invisibleCursor()};
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root(), 0, 0,
                    screen_->width_in_pixels, screen_->height_in_pixels, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                    XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_CURSOR, values);
  // A name, for whoever looks at the screen's windows (xwininfo -tree).
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING,
                      8, name.size(), name.data());
  markOpaque(connection_, window);
  return window;
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
  if (compositing_.cameOrWent(event))
    return Repair::Now;  // the stage moves
  if (type == XCB_CONFIGURE_NOTIFY &&
      reinterpret_cast<const xcb_configure_notify_event_t&>(event).window == root()) {
    return Repair::Now;  // the screen's size
  }
  const bool stacking = type == XCB_MAP_NOTIFY || type == XCB_CONFIGURE_NOTIFY ||
                        type == XCB_REPARENT_NOTIFY || type == XCB_CIRCULATE_NOTIFY;
  if (mode_ == Mode::Under) {
    // A window manager restacking its windows may have put the stage over
    // the playback.
    return stacking && parentInEvent(event) == root() ? Repair::Soon : Repair::None;
  }
  if (mode_ != Mode::Locked)
    return Repair::None;
  if (type == XCB_DESTROY_NOTIFY) {
    letGo(reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window);
    return Repair::Soon;
  }
  if (type == XCB_UNMAP_NOTIFY) {
    const xcb_window_t window = reinterpret_cast<const xcb_unmap_notify_event_t&>(event).window;
    return window == stage_ || window == overlay_ || window == backstop_ ? Repair::Now
                                                                         : Repair::Soon;
  }
  if (!stacking)
    return Repair::None;
  // Beside the stage, another client's window may have come over it, and a
  // compositing manager paints it at its next frame: at once. Beside the
  // backstop under the overlay window, or inside the stage (a window of the
  // saver's moved, maybe by the saver itself): in a moment.
  const xcb_window_t parent = parentInEvent(event);
  if (parent == stageParent_)
    return Repair::Now;
  return parent == root() || parent == stage_ ? Repair::Soon : Repair::None;
}

void ScreenLock::repair() {
  if (mode_ == Mode::Off)
    return;
  if (mode_ == Mode::Locked)
    placeStage();
  followRootSize();
  if (mode_ == Mode::Locked) {
    show(backstop_, true);
    show(stage_, true);
    keepKeptWindows();
    if (!stackedAsItShouldBe())
      restack();
    grab();
  } else if (compositing_.runs()) {
    // Compositing window managers (kwin, xfwm4) paint every
    // override-redirect window over the windows they manage, the playback
    // among them, wherever it is stacked. Each monitor has a playback
    // window of its own: the stage stays away.
    show(stage_, false);
  } else {
    show(stage_, true);
    if (!underThePlayback())
      restack();
  }
  xcb_flush(connection_);
}

// The stage and (locked) the backstop.
void ScreenLock::followRootSize() {
  const auto geometry =
      own(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, root()), nullptr));
  if (!geometry)
    return;
  for (const xcb_window_t window : {stage_, backstop_}) {
    if (window == XCB_NONE)
      continue;
    const auto now =
        own(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr));
    // Only when it is not so already: each change tells every client that
    // watches the root, this one too, whose repair would then come again.
    if (!now || now->x != 0 || now->y != 0 || now->width != geometry->width ||
        now->height != geometry->height) {
      const std::uint32_t values[] = {0, 0, geometry->width, geometry->height};
      xcb_configure_window(connection_, window,
                           XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                               XCB_CONFIG_WINDOW_HEIGHT,
                           values);
    }
  }
}

void ScreenLock::show(xcb_window_t window, bool shown) {
  if (mapped(window) == shown)
    return;
  if (shown)
    xcb_map_window(connection_, window);
  else
    xcb_unmap_window(connection_, window);
}

// A window of the saver's that another client took away, hid or moved out
// comes back where it was on the screen.
void ScreenLock::keepKeptWindows() {
  for (const xcb_window_t window : kept_) {
    if (parentOf(window) != stage_) {
      const auto place = own(xcb_translate_coordinates_reply(
          connection_, xcb_translate_coordinates(connection_, window, stage_, 0, 0), nullptr));
      if (!place)
        continue;  // gone
      xcb_reparent_window(connection_, window, stage_, place->dst_x, place->dst_y);
    }
    if (!mapped(window))
      xcb_map_window(connection_, window);
  }
}

// The backstop on top of the root's children and the stage on top of its
// parent's (placeStage has just put it there), over the backstop where
// that is the root; the kept windows on top of the stage's, in their order.
bool ScreenLock::stackedAsItShouldBe() const {
  if (stageParent_ == root())
    return childrenEndWith(root(), {backstop_, stage_}) && childrenEndWith(stage_, kept_);
  return childrenEndWith(root(), {backstop_}) && childrenEndWith(stageParent_, {stage_}) &&
         childrenEndWith(stage_, kept_);
}

bool ScreenLock::childrenEndWith(xcb_window_t parent,
                                 const std::vector<xcb_window_t>& wanted) const {
  const auto tree =
      own(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, parent), nullptr));
  if (!tree)
    return false;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
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
    return;
  }
  const std::uint32_t top[] = {XCB_STACK_MODE_ABOVE};
  xcb_configure_window(connection_, backstop_, XCB_CONFIG_WINDOW_STACK_MODE, top);
  xcb_configure_window(connection_, stage_, XCB_CONFIG_WINDOW_STACK_MODE, top);
  for (const xcb_window_t window : kept_)
    xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_STACK_MODE, top);
}

// Unlocked: the stage is below every playback window.
bool ScreenLock::underThePlayback() const {
  std::vector<xcb_window_t> windows = playbackTopLevels();
  windows.push_back(stage_);
  return lowestOnRoot(windows) == stage_;
}

xcb_window_t ScreenLock::lowestPlayback() const {
  return lowestOnRoot(playbackTopLevels());
}

// The lowest of the windows among the root's children (they come bottom
// first); a window that is gone is among them no more.
xcb_window_t ScreenLock::lowestOnRoot(const std::vector<xcb_window_t>& windows) const {
  const auto tree =
      own(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root()), nullptr));
  if (!tree)
    return XCB_NONE;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  for (int i = 0; i < count; ++i) {
    if (std::find(windows.begin(), windows.end(), children[i]) != windows.end())
      return children[i];
  }
  return XCB_NONE;
}

// Asked each time: a window manager frames a window after it is shown.
std::vector<xcb_window_t> ScreenLock::playbackTopLevels() const {
  std::vector<xcb_window_t> tops;
  for (const xcb_window_t playback : playbacks_)
    tops.push_back(topLevel(playback));
  return tops;
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
