#pragma once

#include <QRect>

namespace platform {

// Layouts are given in twips; the desktop works in logical pixels, 15 twips to
// the pixel at 96 dots per inch. Rounds to the nearest pixel.
constexpr int twips(int value) {
  return (value + (value >= 0 ? 7 : -7)) / 15;
}

constexpr QRect twipsRect(int left, int top, int width, int height) {
  return QRect(twips(left), twips(top), twips(width), twips(height));
}

}  // namespace platform
