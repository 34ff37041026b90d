#include "platform/host_window.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>
#include <cstdlib>
#include <memory>
#include <utility>

#include "platform/qt_x11.h"

namespace platform {
namespace {

// One claim file a display: ":0.0" and ":0" are the same display.
QString soundClaimPath() {
  QString display = qEnvironmentVariable("DISPLAY").section('.', 0, 0);
  for (QChar& c : display) {
    if (!c.isLetterOrNumber())
      c = '_';
  }
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty())
    folder = QDir::tempPath();
  return folder + "/reelvista-sound-" + display + ".lock";
}

std::uint8_t typeOf(const xcb_generic_event_t& event) {
  return event.response_type & 0x7f;
}

// Adds the mask to what the application already selects on the window (Qt
// selects on the root window, and the host may have given us that), not in
// its place; false when there is no such window.
bool selectAlso(xcb_connection_t* x, std::uint32_t window, std::uint32_t mask) {
  const std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
      xcb_get_window_attributes_reply(x, xcb_get_window_attributes(x, window), nullptr),
      &std::free);
  if (!attributes)
    return false;
  const std::uint32_t both = attributes->your_event_mask | mask;
  // Checked: a window destroyed since the look above is gone already.
  const std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
      xcb_request_check(x,
                        xcb_change_window_attributes_checked(x, window, XCB_CW_EVENT_MASK, &both)),
      &std::free);
  return !error;
}

// Hands every X event of the application's connection to react, for as
// long as the application lives.
class EventWatch : public QObject, public QAbstractNativeEventFilter {
 public:
  explicit EventWatch(std::function<void(const xcb_generic_event_t&)> react)
      : QObject(qGuiApp), react_(std::move(react)) {
    qGuiApp->installNativeEventFilter(this);
  }

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type == "xcb_generic_event_t")
      react_(*static_cast<const xcb_generic_event_t*>(message));
    return false;
  }

 private:
  std::function<void(const xcb_generic_event_t&)> react_;
};

}  // namespace

bool followHostWindow(std::uint32_t window, std::function<void()> gone) {
  xcb_connection_t* const x = applicationConnection();
  if (!x)
    return false;
  new EventWatch([window, gone = std::move(gone)](const xcb_generic_event_t& event) mutable {
    if (typeOf(event) == XCB_DESTROY_NOTIFY && gone &&
        reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window == window)
      std::exchange(gone, nullptr)();
  });
  return selectAlso(x, window, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
}

std::uint32_t backgroundWindow() {
  xcb_connection_t* const x = applicationConnection();
  if (!x)
    return 0;
  const xcb_screen_t* const screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
  const xcb_window_t root = screen->root;
  // The root window's size now, not the connection's note of it.
  const std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> size(
      xcb_get_geometry_reply(x, xcb_get_geometry(x, root), nullptr), &std::free);
  if (!size)
    return 0;
  const xcb_window_t window = xcb_generate_id(x);
  const std::uint32_t blackAndUnmanaged[] = {screen->black_pixel, 1};
  xcb_create_window(x, XCB_COPY_FROM_PARENT, window, root, 0, 0, size->width, size->height, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                    XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, blackAndUnmanaged);
  const std::uint32_t bottom = XCB_STACK_MODE_BELOW;
  xcb_configure_window(x, window, XCB_CONFIG_WINDOW_STACK_MODE, &bottom);
  xcb_map_window(x, window);
  new EventWatch([x, root, window](const xcb_generic_event_t& event) {
    const auto& change = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
    if (typeOf(event) != XCB_CONFIGURE_NOTIFY || change.window != root)
      return;
    const std::uint32_t rootSize[] = {change.width, change.height};
    xcb_configure_window(x, window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, rootSize);
    xcb_flush(x);
  });
  selectAlso(x, root, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
  return window;
}

bool claimDisplaySound() {
  const QByteArray path = QFile::encodeName(soundClaimPath());
  const int file = open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (file < 0)
    return false;
  if (flock(file, LOCK_EX | LOCK_NB) != 0) {
    close(file);
    return false;
  }
  return true;  // the descriptor stays open, and the claim held, until we end
}

}  // namespace platform
