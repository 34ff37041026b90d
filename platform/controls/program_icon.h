#pragma once

#include <QIcon>

namespace platform {

// The program's icon: a strip of film with a play mark, drawn at run time so
// that it needs no image files.
QIcon programIcon();

}  // namespace platform
