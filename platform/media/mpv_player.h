#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/media/player.h"

struct mpv_handle;

namespace platform {

class MpvSurface;

// The media player on libmpv. A file is opened paused and reported ready
// (state 4) once mpv has loaded it; Play starts it. Play states follow mpv:
// playing while it runs, paused only on a real pause, stopped before the
// start, at the end of the file and with no file. mpv reads no input and
// never keeps the display awake; keys, buttons and focus stay with Qt.
class MpvPlayer final : public Player {
  Q_OBJECT

 public:
  enum class Picture {
    Automatic,  // OpenGL on a real display, the software renderer under Qt's offscreen platform
    None,       // no picture at all (mpv's null video output), for tests
  };

  explicit MpvPlayer(QWidget* parent, Picture picture = Picture::Automatic);
  ~MpvPlayer() override;

  using Player::get;
  using Player::invoke;
  using Player::put;
  void put(int dispid, const QVariant& value) override;
  QVariant get(int dispid) override;
  void invoke(int dispid) override;

  int playState() const { return playState_; }
  // Runs an mpv command as it stands ("set", "pause", "yes"): how a test or a
  // benchmark acts on the player from outside, as another program would.
  void mpvCommand(const QStringList& arguments);
  // The software-drawn picture, or a null image when drawn otherwise.
  QImage softwareFrame();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct Event;

  void setOption(const char* name, const char* value);
  void open(const QString& path);
  void openPendingFile();
  void drainEvents();
  void handle(const Event& event);
  void setPause(bool pause);
  void observePause(bool pause);
  bool hasPictureTrack();
  void reportReady();
  void updatePlayState();
  std::int64_t pictureSize(const char* demuxed, const char* decoded);

  mpv_handle* mpv_ = nullptr;
  std::unique_ptr<MpvSurface> surface_;
  QMap<int, QVariant> values_;  // what was last set, by dispid
  QByteArray pendingPath_;      // to open once the surface can draw
  bool hasPendingPath_ = false;
  std::int64_t wantedEntry_ = -1;  // mpv's play-list entry of the file last opened
  std::int64_t currentEntry_ = -2;
  bool loaded_ = false;             // the wanted file is loaded
  bool waitingForPicture_ = false;  // loaded, its first frame not decoded yet
  bool started_ = false;            // Play was invoked since it loaded
  bool paused_ = true;              // mpv's pause property
  std::optional<bool> pauseWeSet_;  // our change mpv has not reported yet
  bool atEnd_ = false;              // mpv's eof-reached property
  int playState_ = play_state::kStopped;
};

}  // namespace platform
