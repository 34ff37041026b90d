#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>

class QSocketNotifier;
class QTimer;

namespace platform {

// One run of the mpv program, talked to in lines over a socket pair. The
// process gets its own process group, dies with ours, is the first the kernel
// takes when memory runs out, and keeps no descriptor of ours but the socket.
// Nothing here ever blocks: lines go out as far as the socket takes them and
// the rest waits; lines come in on the GUI thread as they arrive.
class MpvProcess final : public QObject {
  Q_OBJECT

 public:
  // The longest line taken from mpv; a longer one is dropped whole.
  static constexpr qsizetype kMaxLineBytes = 1 << 20;

  explicit MpvProcess(QObject* parent = nullptr);
  ~MpvProcess() override;

  // Starts mpv with the arguments; the socket is its descriptor 3. False
  // when it cannot start.
  bool start(const QString& program, const QStringList& arguments);
  bool isRunning() const { return pid_ > 0; }
  pid_t processId() const { return pid_; }
  // Queues one line (without its newline) to mpv. False when mpv is gone or
  // has left too much unread: it is then treated as hung.
  bool send(const QByteArray& line);
  // Kills the whole process group at once and reaps it, later if need be.
  void kill();

 signals:
  void lineReceived(const QByteArray& line);
  // The process ended or closed its end of the socket; it is killed by then.
  void gone();

 private:
  void readSocket();
  void writeSocket();
  void takeLines();
  void closeSocket();
  void reapEnded();

  pid_t pid_ = -1;
  int socket_ = -1;
  QSocketNotifier* readable_ = nullptr;
  QSocketNotifier* writable_ = nullptr;
  QByteArray incoming_;
  bool skippingLine_ = false;  // inside a line too long to keep
  QByteArray outgoing_;
  QList<pid_t> unreaped_;  // killed, not yet waited for
  QTimer* reaper_ = nullptr;
};

}  // namespace platform
