#pragma once

#include <xcb/xcb.h>

#include <QColor>
#include <QImage>
#include <QRect>
#include <functional>

// What a person sees on the X display the test runs on: the root window's
// pixels, the windows of every client drawn in, whatever any of them claims
// about being shown.
namespace screen {

// The pixels of an area of the screen (all of it when the area is empty);
// a null image when the display cannot be read.
QImage grab(const QRect& area = {});
// The same through a connection the caller holds, for a caller that looks
// many times a second.
QImage grab(xcb_connection_t* connection, const QRect& area = {});

// The share of the image's pixels (0 to 1) for which the test holds.
double shareOf(const QImage& image, const std::function<bool(const QColor&)>& test);
// The share of pixels close to the colour: the three channels differ by
// no more than the tolerance in all.
double shareOf(const QImage& image, const QColor& colour, int tolerance = 60);

// Paints the desktop (the root window's background) one colour while the
// object lives, so that a test can tell it from a window; black again after.
class DesktopColour {
 public:
  explicit DesktopColour(const QColor& colour);
  ~DesktopColour();
  DesktopColour(const DesktopColour&) = delete;
  DesktopColour& operator=(const DesktopColour&) = delete;
};

}  // namespace screen
