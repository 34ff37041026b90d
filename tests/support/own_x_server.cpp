#include "support/own_x_server.h"

#include <xcb/xcb.h>

#include <QFile>
#include <stdexcept>

#include "support/wait.h"

namespace {

QString freeDisplay() {
  int number = 60;
  while (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)) ||
         QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
    ++number;
  return QStringLiteral(":%1").arg(number);
}

bool serverAnswers() {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool connected = !xcb_connection_has_error(connection);
  xcb_disconnect(connection);
  return connected;
}

}  // namespace

OwnXServer::OwnXServer(const QString& program, const QStringList& arguments, const QString& logFile)
    : previousDisplay_(qgetenv("DISPLAY")), display_(freeDisplay()) {
  server_.start(program, QStringList{display_} + arguments);
  qputenv("DISPLAY", display_.toUtf8());
  if (!waitUntil(serverAnswers, 30000)) {
    stop();  // no destructor runs after a constructor that throws
    QFile log(logFile);
    const QString why = log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : "";
    throw std::runtime_error((program + " did not start: " + why).toStdString());
  }
}

OwnXServer::~OwnXServer() {
  stop();
}

void OwnXServer::stop() {
  server_.terminate();
  if (!server_.waitForFinished(10000))
    server_.kill();
  server_.waitForFinished(5000);
  qputenv("DISPLAY", previousDisplay_);
}
