#include "support/host_display.h"

#include <QFile>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "support/screen.h"
#include "support/wait.h"

HostDisplay::HostDisplay() : connection_(xcb_connect(nullptr, nullptr)) {
  if (xcb_connection_has_error(connection_))
    throw std::runtime_error("no X display");
  screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
}

HostDisplay::~HostDisplay() {
  xcb_disconnect(connection_);
}

xcb_window_t HostDisplay::makeWindow(const QRect& place) {
  const xcb_window_t window = xcb_generate_id(connection_);
  const uint32_t values[] = {screen_->black_pixel, 1};
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, screen_->root,
                    static_cast<int16_t>(place.x()), static_cast<int16_t>(place.y()),
                    static_cast<uint16_t>(place.width()), static_cast<uint16_t>(place.height()), 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                    XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
  xcb_map_window(connection_, window);
  // A round trip: the window is on the server before the program is told of it.
  free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  return window;
}

void HostDisplay::resize(xcb_window_t window, QSize size) {
  const uint32_t values[] = {static_cast<uint32_t>(size.width()),
                             static_cast<uint32_t>(size.height())};
  xcb_configure_window(connection_, window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                       values);
  xcb_flush(connection_);
}

void HostDisplay::destroyWindow(xcb_window_t window) {
  xcb_destroy_window(connection_, window);
  xcb_flush(connection_);
}

bool HostDisplay::areaShows(const QRect& area, const QColor& colour) {
  const QImage image = screen::grab(connection_, area);
  if (image.isNull())
    return false;
  const QRect inside = image.rect().adjusted(4, 4, -4, -4);
  for (const QPoint point : {inside.center(), inside.topLeft(), inside.topRight(),
                             inside.bottomLeft(), inside.bottomRight()}) {
    const QColor seen = image.pixelColor(point);
    if (std::abs(seen.red() - colour.red()) > 60 || std::abs(seen.green() - colour.green()) > 60 ||
        std::abs(seen.blue() - colour.blue()) > 60)
      return false;
  }
  return true;
}

bool HostDisplay::waitForArea(const QRect& area, const QColor& colour, int milliseconds) {
  return waitUntil([&] { return areaShows(area, colour); }, milliseconds);
}

QList<qint64> mpvChildrenOf(qint64 pid) {
  QList<qint64> found;
  QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
  if (!children.open(QIODevice::ReadOnly))
    return found;
  for (const QByteArray& child : children.readAll().split(' ')) {
    QFile name("/proc/" + child.trimmed() + "/comm");
    if (!child.trimmed().isEmpty() && name.open(QIODevice::ReadOnly) &&
        name.readAll().trimmed() == "mpv" && processRuns(child.trimmed().toLongLong()))
      found << child.trimmed().toLongLong();
  }
  return found;
}

bool processRuns(qint64 pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly))
    return false;
  const QByteArray line = stat.readAll();
  const qsizetype state = line.lastIndexOf(')') + 2;
  return state < line.size() && line[state] != 'Z' && line[state] != 'X';
}

QStringList processArguments(qint64 pid) {
  QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
  if (!file.open(QIODevice::ReadOnly))
    return {};
  QStringList arguments;
  for (const QByteArray& argument : file.readAll().split('\0'))
    arguments << QString::fromLocal8Bit(argument);
  return arguments;
}

bool playsSound(qint64 mpv) {
  return !processArguments(mpv).contains(QStringLiteral("--ao=null"));
}
