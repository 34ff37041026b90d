#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/lock/compositing.h"

namespace platform {

// The guard's hold on the display.
//
// Locked, it keeps a black stage the size of the root window over
// everything, holds the keyboard and the pointer, and keeps the saver's
// windows, children of the stage, shown over it in the order they came.
// Where the server has the Composite extension and no compositing manager
// runs, the stage is a child of the overlay window, which the server keeps
// above every other window, override-redirect ones included: no other
// client can put a window over it by raising its own. A compositing manager
// paints onto that overlay window, some of them over whatever is in it, so
// while one runs the stage is a window of the root's that it paints like
// any other: the top one, marked opaque, raised again at once whenever
// another window comes over it. The stage moves between the two as
// compositing managers come and go. Under the stage, a second black
// window, the backstop, is kept on top of the root's children all the
// while: a compositing manager that starts paints it at its first frame,
// before the stage has come out of the overlay window.
//
// Unlocked, the stage only goes under the playback windows (one a
// monitor), so that whatever they do not cover is black too, and only
// while no compositing manager runs; nothing is held.
//
// The stage is the root window's size and follows it: every CRTC scans out
// of the root window, so it covers every monitor whatever list of monitors
// a client has made.
class ScreenLock {
 public:
  ScreenLock(xcb_connection_t* connection, xcb_screen_t* screen);
  ~ScreenLock();
  ScreenLock(const ScreenLock&) = delete;
  ScreenLock& operator=(const ScreenLock&) = delete;

  // The stage over everything, for a locked run.
  void cover();
  // The stage just under the lowest of the saver's playback windows named
  // so far, this one included, for a run not locked.
  void coverUnder(xcb_window_t playback);
  // Takes the keyboard and the pointer, or takes them again; true when both
  // are held now.
  bool grab();
  bool holdsInput() const { return holdsInput_; }
  bool active() const { return mode_ != Mode::Off; }

  // Where a locked saver puts its windows (0: where they are, the root).
  xcb_window_t container() const { return mode_ == Mode::Locked ? stage_ : XCB_NONE; }
  // A window of the saver's that is on screen and is kept there, over the
  // stage and over the ones before it, until let go.
  void keep(xcb_window_t window);
  void letGo(xcb_window_t window);
  void letGoOfAll() { kept_.clear(); }

  // Whether the event may have moved, hidden or covered what is held, or
  // changed the screen's size, and how soon repair() is due: at once when
  // the black stage (or the overlay holding it) went, in a moment when a
  // window of the saver's did, which may be the saver's own doing.
  enum class Repair { None, Soon, Now };
  Repair repairFor(const xcb_generic_event_t& event);
  // Puts everything back as it should be: the stage's size, what is mapped
  // and where, the stacking, and (locked) the grabs.
  void repair();

 private:
  enum class Mode { Off, Locked, Under };
  xcb_window_t root() const { return screen_->root; }
  void makeStage();
  xcb_window_t makeBlackWindow(std::string_view name);
  void placeStage();
  void holdOverlay();
  void releaseOverlay();
  void watchSubstructure(xcb_window_t window);
  void followRootSize();
  void show(xcb_window_t window, bool shown);
  void keepKeptWindows();
  void restack();
  bool stackedAsItShouldBe() const;
  bool underThePlayback() const;
  bool childrenEndWith(xcb_window_t parent, const std::vector<xcb_window_t>& wanted) const;
  bool mapped(xcb_window_t window) const;
  xcb_window_t lowestPlayback() const;
  xcb_window_t lowestOnRoot(const std::vector<xcb_window_t>& windows) const;
  std::vector<xcb_window_t> playbackTopLevels() const;
  xcb_window_t parentOf(xcb_window_t window) const;
  xcb_window_t topLevel(xcb_window_t window) const;
  xcb_cursor_t invisibleCursor();

  xcb_connection_t* connection_;
  xcb_screen_t* screen_;
  CompositingManager compositing_;
  Mode mode_ = Mode::Off;
  std::uint8_t randrEvents_ = 0;  // the first RandR event code, 0 without RandR
  xcb_window_t stage_ = XCB_NONE;
  xcb_window_t backstop_ = XCB_NONE;  // locked: on the root, under everything of ours
  xcb_window_t overlay_ = XCB_NONE;   // held while the stage is in it
  xcb_window_t stageParent_ = XCB_NONE;
  std::vector<xcb_window_t> playbacks_;  // unlocked: the windows the stage goes under
  std::vector<xcb_window_t> kept_;
  xcb_cursor_t cursor_ = XCB_NONE;
  bool holdsInput_ = false;
};

}  // namespace platform
