#include "platform/host_window.h"

#include <QtGui/qguiapplication_platform.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>

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

}  // namespace

std::uint32_t rootWindowId() {
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (!x11 || !x11->connection())
    return 0;
  const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(x11->connection()));
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
