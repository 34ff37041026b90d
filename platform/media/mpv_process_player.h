#pragma once

#include <QElapsedTimer>
#include <QJsonArray>
#include <QMap>
#include <QStringList>
#include <QVariant>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/files/drive_table.h"
#include "platform/media/player.h"

class QJsonObject;
class QTimer;

namespace platform {

class MpvProcess;
class VideoCdFeed;

// The media player: the mpv program in a process of its own, drawing into
// this widget's window and driven over a socket. A file is opened paused and
// reported ready (state 4) once loaded and, with a picture, once its first
// frame is decoded; Play starts it. Play states follow mpv: playing while it
// runs, paused only on a real pause, stopped before the start, at the end of
// the file and with no file. Keys, buttons and focus stay with Qt. A
// RealMedia metafile plays its local files one after another as one file; a
// Video CD track the mounted disc will not read is read raw into a FIFO.
//
// Whatever mpv does, it cannot take the saver with it: when it dies or stops
// answering it is killed, a file that was playing has stopped, one that was
// opening never gets ready, and the next file gets a fresh mpv.
class MpvProcessPlayer final : public Player {
  Q_OBJECT

 public:
  enum class Picture {
    Automatic,  // drawn into this widget on a real display; none under Qt's offscreen platform
    None,       // no picture at all (mpv's null video output)
  };

  // A window another program owns (a host screen saver's): mpv draws
  // straight into it and follows its size, and this widget stays unseen.
  // Only one player on a display has sound.
  struct HostWindow {
    quint32 window = 0;
    bool sound = true;
  };

  // How long mpv may take to answer before it counts as hung.
  static constexpr int kAnswerMs = 5000;

  explicit MpvProcessPlayer(QWidget* parent, Picture picture = Picture::Automatic,
                            bool sound = true);
  MpvProcessPlayer(QWidget* parent, HostWindow host);
  ~MpvProcessPlayer() override;

  using Player::get;
  using Player::invoke;
  using Player::put;
  void put(int dispid, const QVariant& value) override;
  QVariant get(int dispid) override;
  void invoke(int dispid) override;
  void setSoundOutput(bool on) override;

  int playState() const { return playState_; }
  // The running mpv's process id, 0 when none runs.
  qint64 playerProcessId() const;
  // Sends an mpv command as it stands ("set", "pause", "yes"): how a test
  // acts on the player from outside, as another program would.
  void mpvCommand(const QStringList& arguments);
  // Where the player looks for the mounted discs (this process's mount table
  // unless a test hands in its own), to find the Video CD tracks it reads raw.
  void setMountTable(std::function<std::vector<Mount>()> mounts);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  using Reply = std::function<void(bool success, const QJsonValue& answer)>;
  struct Pending {
    Reply reply;
    QElapsedTimer sent;
  };

  bool ensureRunning();
  QStringList arguments();
  void request(const QJsonArray& words, Reply reply = {});
  void setProperty(const QString& name, const QJsonValue& value);
  void onLine(const QByteArray& line);
  void onEvent(const QJsonObject& event);
  void onReply(const QJsonObject& reply);
  void onGone();
  void checkAnswers();
  void start();

  void open(const QString& path);
  QStringList sourcesOf(const QString& path);
  void onFileEnded(qint64 entry, const QString& reason);
  void onOpened(int serial, const QJsonValue& answer);
  void checkLoaded();
  void onPictureTrack(int serial, const QJsonValue& track);
  void readSizesThenReady();
  void setPause(bool pause);
  void observePause(bool pause);
  void reportReady();
  void updatePlayState();

  Picture picture_;
  HostWindow host_;
  bool sound_ = true;         // wanted: a sound output
  bool runningSound_ = true;  // what the running mpv was started with
  QString program_;
  MpvProcess* process_ = nullptr;
  QTimer* watchdog_ = nullptr;
  std::map<qint64, Pending> pending_;  // requests not answered yet, by id
  qint64 nextRequest_ = 1;
  QElapsedTimer lastHeard_;

  QMap<int, QVariant> values_;  // what was last set, by dispid
  int serial_ = 0;              // counts opened files, so late answers are told apart
  qint64 wantedEntry_ = -1;     // mpv's play-list entry of the file last opened
  // The entries that play after it as part of the same file (the rest of a
  // metafile's files), in order.
  std::deque<qint64> following_;
  std::function<std::vector<Mount>()> mounts_;
  std::unique_ptr<VideoCdFeed> feed_;  // the Video CD track being read, if any
  qint64 currentEntry_ = -2;
  qint64 loadedEntry_ = -2;         // the entry mpv last reported loaded
  qint64 reconfiguredEntry_ = -2;   // the entry whose picture mpv last set up
  bool loaded_ = false;             // the wanted file is ready
  bool checkingLoaded_ = false;     // asked whether it has a picture
  bool waitingForPicture_ = false;  // it has one, not decoded yet
  bool started_ = false;            // Play was invoked since it loaded
  bool paused_ = true;              // mpv's pause property
  int pauseChangesInFlight_ = 0;    // our pause changes mpv has not confirmed
  bool atEnd_ = false;              // mpv's eof-reached property
  int width_ = 0;
  int height_ = 0;
  int playState_ = play_state::kStopped;
};

}  // namespace platform
