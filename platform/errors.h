#pragma once

#include <QString>
#include <stdexcept>

namespace platform {

// The failure numbers the program tells apart. Everything that can fail in a
// way a caller reacts to throws a PlatformError carrying one of these.
enum class ErrorNumber : int {
  OutOfMemory = 7,         // a list can take no more entries
  FileNotFound = 53,       // no such file in an existing folder
  DeviceUnavailable = 68,  // a drive that is missing, empty or not mounted
  PathNotFound = 76,       // a folder on the way does not exist
  PermissionDenied = 70,   // a folder or file this user may not open
  Other = 0,               // anything else (read error, permission, ...)
};

class PlatformError : public std::runtime_error {
 public:
  PlatformError(ErrorNumber number, const QString& description);

  ErrorNumber number() const { return number_; }
  // The text a message box shows for this failure.
  QString description() const { return description_; }

 private:
  ErrorNumber number_;
  QString description_;
};

}  // namespace platform
