#include "platform/host_window.h"

#include <QtGui/qguiapplication_platform.h>
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

xcb_connection_t* applicationConnection() {
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

// Calls gone() once, at the window's DestroyNotify, which every client
// that selected StructureNotify on the window receives.
class DestroyWatch : public QObject, public QAbstractNativeEventFilter {
 public:
  DestroyWatch(std::uint32_t window, std::function<void()> gone)
      : QObject(qGuiApp), window_(window), gone_(std::move(gone)) {
    qGuiApp->installNativeEventFilter(this);
  }

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t" || !gone_)
      return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY &&
        reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == window_)
      std::exchange(gone_, nullptr)();
    return false;
  }

 private:
  std::uint32_t window_;
  std::function<void()> gone_;
};

}  // namespace

bool followHostWindow(std::uint32_t window, std::function<void()> gone) {
  xcb_connection_t* const x = applicationConnection();
  if (!x)
    return false;
  const std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
      xcb_get_window_attributes_reply(x, xcb_get_window_attributes(x, window), nullptr),
      &std::free);
  if (!attributes)
    return false;
  // Added to whatever the application selects there already (the host may
  // have given the root window), not in its place.
  const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  new DestroyWatch(window, std::move(gone));  // lives as long as the application
  // Checked: a window destroyed since the look above is gone already.
  const std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
      xcb_request_check(x,
                        xcb_change_window_attributes_checked(x, window, XCB_CW_EVENT_MASK, &mask)),
      &std::free);
  return !error;
}

std::uint32_t rootWindowId() {
  xcb_connection_t* const x11 = applicationConnection();
  if (!x11)
    return 0;
  const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(x11));
  return screens.rem > 0 ? screens.data->root : 0;
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
