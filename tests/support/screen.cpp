#include "support/screen.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace screen {
namespace {

using Connection = std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>;

Connection connect() {
  return Connection(xcb_connect(nullptr, nullptr), &xcb_disconnect);
}

xcb_screen_t* rootScreen(xcb_connection_t* x) {
  return xcb_setup_roots_iterator(xcb_get_setup(x)).data;
}

void paintRoot(const QColor& colour) {
  const Connection connection = connect();
  xcb_connection_t* const x = connection.get();
  if (xcb_connection_has_error(x))
    return;
  const xcb_window_t root = rootScreen(x)->root;
  // A 24-bit TrueColor screen, as the tests' X servers have: the pixel is
  // the colour's RGB.
  const uint32_t pixel = colour.rgb() & 0xffffffU;
  xcb_change_window_attributes(x, root, XCB_CW_BACK_PIXEL, &pixel);
  // Checked, so that the desktop is painted before the test goes on.
  std::free(xcb_request_check(x, xcb_clear_area_checked(x, 0, root, 0, 0, 0, 0)));
}

}  // namespace

QImage grab(const QRect& area) {
  const Connection connection = connect();
  if (xcb_connection_has_error(connection.get()))
    return {};
  return grab(connection.get(), area);
}

QImage grab(xcb_connection_t* connection, const QRect& area) {
  xcb_screen_t* const root = rootScreen(connection);
  // Asked, not taken from the connection's setup: the setup keeps the size
  // the root window had when the connection was made, before any RandR change.
  const std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
      xcb_get_geometry_reply(connection, xcb_get_geometry(connection, root->root), nullptr),
      &std::free);
  if (!geometry)
    return {};
  const QRect whole(0, 0, geometry->width, geometry->height);
  const QRect wanted = area.isEmpty() ? whole : area & whole;
  if (wanted.isEmpty())
    return {};
  const std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> reply(
      xcb_get_image_reply(
          connection,
          xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, root->root, wanted.x(), wanted.y(),
                        wanted.width(), wanted.height(), ~0U),
          nullptr),
      &std::free);
  // 24 bits a pixel, stored in 32 as QImage's RGB32 stores them.
  const qsizetype bytes = qsizetype(wanted.width()) * wanted.height() * 4;
  if (!reply || reply->depth != 24 || xcb_get_image_data_length(reply.get()) != bytes)
    return {};
  QImage image(wanted.size(), QImage::Format_RGB32);
  std::memcpy(image.bits(), xcb_get_image_data(reply.get()), bytes);
  return image;
}

double shareOf(const QImage& image, const std::function<bool(const QColor&)>& test) {
  if (image.isNull())
    return 0;
  // Read straight from the lines: tests look at the whole screen many times
  // a second.
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  qsizetype count = 0;
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x)
      count += test(QColor(line[x])) ? 1 : 0;
  }
  return double(count) / (qsizetype(image.width()) * image.height());
}

double shareOf(const QImage& image, const QColor& colour, int tolerance) {
  return shareOf(image, [&](const QColor& c) {
    return std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
               std::abs(c.blue() - colour.blue()) <=
           tolerance;
  });
}

DesktopColour::DesktopColour(const QColor& colour) {
  paintRoot(colour);
}

DesktopColour::~DesktopColour() {
  paintRoot(Qt::black);
}

}  // namespace screen
