#pragma once

#include <QString>
#include <optional>

namespace platform {

// What mpv is asked to open for one entry of the play list, or nothing when
// the entry is not something to hand to it. This is the one place that
// decides it, so that an entry may one day become more than a plain file.
std::optional<QString> mpvSource(const QString& path);

}  // namespace platform
