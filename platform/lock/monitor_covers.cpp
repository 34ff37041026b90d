#include "platform/lock/monitor_covers.h"

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

}  // namespace

MonitorCovers::MonitorCovers(xcb_connection_t* connection, xcb_screen_t* screen)
    : connection_(connection), screen_(screen) {
  const xcb_query_extension_reply_t* randr = xcb_get_extension_data(connection_, &xcb_randr_id);
  if (!randr || !randr->present)
    return;
  const auto version = own(xcb_randr_query_version_reply(
      connection_, xcb_randr_query_version(connection_, 1, 5), nullptr));
  if (!version || (version->major_version == 1 && version->minor_version < 5))
    return;
  randrEvents_ = randr->first_event;
  xcb_randr_select_input(connection_, screen_->root,
                         XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                             XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE |
                             XCB_RANDR_NOTIFY_MASK_RESOURCE_CHANGE);
  xcb_flush(connection_);
}

MonitorCovers::~MonitorCovers() {
  for (const Cover& cover : covers_)
    xcb_destroy_window(connection_, cover.window);
  xcb_flush(connection_);
}

// The monitors as RandR reports them; a server without RandR monitors has
// the whole screen as its one.
std::vector<MonitorCovers::Area> MonitorCovers::monitors() const {
  std::vector<Area> areas;
  if (randrEvents_) {
    const auto reply = own(xcb_randr_get_monitors_reply(
        connection_, xcb_randr_get_monitors(connection_, screen_->root, 1), nullptr));
    if (reply) {
      for (auto each = xcb_randr_get_monitors_monitors_iterator(reply.get()); each.rem;
           xcb_randr_monitor_info_next(&each)) {
        const xcb_randr_monitor_info_t& monitor = *each.data;
        if (monitor.width > 0 && monitor.height > 0)
          areas.push_back({monitor.x, monitor.y, monitor.width, monitor.height});
      }
    }
  }
  if (areas.empty())
    areas.push_back({0, 0, screen_->width_in_pixels, screen_->height_in_pixels});
  return areas;
}

xcb_window_t MonitorCovers::makeCover(const Area& area) {
  const xcb_window_t window = xcb_generate_id(connection_);
  const std::uint32_t values[] = {screen_->black_pixel, 1};
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, screen_->root, area.x, area.y,
                    area.width, area.height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                    XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
  // A name, for whoever looks at the screen's windows (xwininfo -tree).
  constexpr std::string_view name = "Reelvista cover";
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING,
                      8, name.size(), name.data());
  return window;
}

// A window manager may have put the playback window into a frame of its
// own; the covers go under the frame, the child of the root.
xcb_window_t MonitorCovers::topLevel(xcb_window_t window) const {
  for (int depth = 0; depth < 8; ++depth) {
    const auto tree =
        own(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr));
    if (!tree || tree->parent == XCB_NONE || tree->parent == screen_->root)
      return window;
    window = tree->parent;
  }
  return window;
}

void MonitorCovers::coverUnder(xcb_window_t playback) {
  playback_ = topLevel(playback);
  active_ = true;
  follow();
}

void MonitorCovers::raise() {
  playback_ = XCB_NONE;
  active_ = true;
  follow();
}

// New covers are made and stacked before they are mapped and before old
// ones go, so no monitor shows the desktop for a moment.
void MonitorCovers::follow() {
  if (!active_)
    return;
  const std::vector<Area> now = monitors();
  std::vector<Cover> kept;
  std::vector<xcb_window_t> gone;
  for (const Cover& cover : covers_) {
    if (std::find(now.begin(), now.end(), cover.area) != now.end())
      kept.push_back(cover);
    else
      gone.push_back(cover.window);
  }
  std::vector<xcb_window_t> added;
  for (const Area& area : now) {
    const bool known = std::any_of(kept.begin(), kept.end(),
                                   [&](const Cover& cover) { return cover.area == area; });
    if (!known) {
      kept.push_back({area, makeCover(area)});
      added.push_back(kept.back().window);
    }
  }
  covers_ = std::move(kept);
  // Stacked again at every look: a window another program raised over a
  // monitor goes under its cover again.
  restack();
  for (const xcb_window_t window : gone)
    xcb_destroy_window(connection_, window);
  xcb_flush(connection_);
}

void MonitorCovers::restack() {
  for (const Cover& cover : covers_) {
    if (playback_ != XCB_NONE) {
      const std::uint32_t values[] = {playback_, XCB_STACK_MODE_BELOW};
      // A playback window that is gone (or not a sibling) makes this fail
      // harmlessly; the covers then stay where they were.
      xcb_configure_window(connection_, cover.window,
                           XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    } else {
      const std::uint32_t values[] = {XCB_STACK_MODE_ABOVE};
      xcb_configure_window(connection_, cover.window, XCB_CONFIG_WINDOW_STACK_MODE, values);
    }
    xcb_map_window(connection_, cover.window);
  }
  xcb_flush(connection_);
}

bool MonitorCovers::isMonitorChange(const xcb_generic_event_t& event) const {
  if (!randrEvents_)
    return false;
  const int type = event.response_type & ~0x80;
  return type == randrEvents_ + XCB_RANDR_SCREEN_CHANGE_NOTIFY ||
         type == randrEvents_ + XCB_RANDR_NOTIFY;
}

bool MonitorCovers::grabInput() {
  const auto keyboard =
      own(xcb_grab_keyboard_reply(connection_,
                                  xcb_grab_keyboard(connection_, 0, screen_->root, XCB_CURRENT_TIME,
                                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                  nullptr));
  const auto pointer = own(xcb_grab_pointer_reply(
      connection_,
      xcb_grab_pointer(connection_, 0, screen_->root, 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                       XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
      nullptr));
  return keyboard && keyboard->status == XCB_GRAB_STATUS_SUCCESS && pointer &&
         pointer->status == XCB_GRAB_STATUS_SUCCESS;
}

void MonitorCovers::releaseInput() {
  xcb_ungrab_keyboard(connection_, XCB_CURRENT_TIME);
  xcb_ungrab_pointer(connection_, XCB_CURRENT_TIME);
  xcb_flush(connection_);
}

}  // namespace platform
