#include "platform/errors.h"

namespace platform {

PlatformError::PlatformError(ErrorNumber number, const QString& description)
    : std::runtime_error(description.toStdString()), number_(number), description_(description) {}

}  // namespace platform
