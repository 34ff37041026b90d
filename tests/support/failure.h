#pragma once

#include <functional>

#include "platform/errors.h"

// The failure number an action throws, or Other when it throws none.
inline platform::ErrorNumber failureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const platform::PlatformError& error) {
    return error.number();
  }
  return platform::ErrorNumber::Other;
}
