#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// An X server of the test's own on a free display, which DISPLAY names
// while it runs: Xvfb, or Xorg with a configuration of the test's. Throws
// when it does not come up.
class OwnXServer {
 public:
  // The arguments follow the display's name; the log says why it failed.
  OwnXServer(const QString& program, const QStringList& arguments, const QString& logFile = {});
  ~OwnXServer();
  OwnXServer(const OwnXServer&) = delete;
  OwnXServer& operator=(const OwnXServer&) = delete;

  QString display() const { return display_; }

 private:
  void stop();

  QByteArray previousDisplay_;
  QString display_;
  QProcess server_;
};
