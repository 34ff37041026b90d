#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

namespace platform {

// Black override-redirect windows, one over every monitor the X server
// reports (RandR), for the guard. They go just under the saver's playback
// window while it is there, and over everything once it is gone.
class MonitorCovers {
 public:
  MonitorCovers(xcb_connection_t* connection, xcb_screen_t* screen);
  ~MonitorCovers();
  MonitorCovers(const MonitorCovers&) = delete;
  MonitorCovers& operator=(const MonitorCovers&) = delete;

  // Covers every monitor, stacked under this window (0: over everything).
  void coverUnder(xcb_window_t playback);
  // Puts the covers over every other window.
  void raise();
  // Follows monitors that came, went or moved since the last look.
  void follow();
  bool active() const { return active_; }
  // True for the notices the X server sends when monitors change.
  bool isMonitorChange(const xcb_generic_event_t& event) const;

  // The keyboard and pointer grab of the guard; true once both hold.
  bool grabInput();
  void releaseInput();

 private:
  struct Area {
    std::int16_t x, y;
    std::uint16_t width, height;
    bool operator==(const Area&) const = default;
  };
  struct Cover {
    Area area;
    xcb_window_t window;
  };
  std::vector<Area> monitors() const;
  xcb_window_t makeCover(const Area& area);
  void restack();
  xcb_window_t topLevel(xcb_window_t window) const;

  xcb_connection_t* connection_;
  xcb_screen_t* screen_;
  std::uint8_t randrEvents_ = 0;  // the first RandR event code, 0 without RandR
  bool active_ = false;
  xcb_window_t playback_ = XCB_NONE;
  std::vector<Cover> covers_;
};

}  // namespace platform
