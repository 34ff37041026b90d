#include "platform/media/mpv_player.h"

#include <mpv/client.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <array>
#include <clocale>
#include <vector>

#include "platform/errors.h"
#include "platform/files/host_text.h"
#include "platform/files/path_kind.h"
#include "platform/media/mpv_surfaces.h"

namespace platform {
namespace {

// What each display and behaviour option sets in mpv, for true and for false.
struct Option {
  Dispid dispid;
  const char* property;
  const char* whenTrue;
  const char* whenFalse;
};

constexpr std::array kOptions{
    Option{Dispid::OnScreenMessages, "osd-level", "1", "0"},
    Option{Dispid::SeekBar, "osd-bar", "yes", "no"},
    Option{Dispid::Subtitles, "sub-visibility", "yes", "no"},
    Option{Dispid::KeepAspect, "keepaspect", "yes", "no"},
    Option{Dispid::PlayWithoutSoundDevice, "audio-fallback-to-null", "yes", "no"},
    Option{Dispid::Sound, "mute", "no", "yes"},
    Option{Dispid::ScaleToPlayer, "video-unscaled", "no", "yes"},
    Option{Dispid::CoverArtIsNoPicture, "audio-display", "no", "attachment"},
    Option{Dispid::LoopFile, "loop-file", "inf", "no"},
    Option{Dispid::SubtitleFilesBeside, "sub-auto", "exact", "no"},
    Option{Dispid::CoverFilesBeside, "cover-art-auto", "exact", "no"},
    Option{Dispid::SoundFilesBeside, "audio-file-auto", "exact", "no"},
};

const Option* findOption(int dispid) {
  for (const Option& option : kOptions) {
    if (static_cast<int>(option.dispid) == dispid)
      return &option;
  }
  return nullptr;
}

// Set once, before mpv starts: mpv takes no input, draws only where we say,
// plays on without a sound device, never keeps the display awake, and holds
// a file at its end so that the end reads as "stopped".
constexpr std::array<std::pair<const char*, const char*>, 17> kFixedOptions{{
    {"terminal", "no"},
    {"config", "no"},
    {"idle", "yes"},
    {"pause", "yes"},
    {"keep-open", "yes"},
    {"keep-open-pause", "no"},
    {"input-default-bindings", "no"},
    {"input-vo-keyboard", "no"},
    {"input-cursor", "no"},
    {"osc", "no"},
    {"ytdl", "no"},
    {"load-scripts", "no"},
    {"stop-screensaver", "no"},
    {"audio-fallback-to-null", "yes"},
    {"audio-display", "no"},
    {"hwdec", "no"},
    {"force-window", "no"},
}};

[[noreturn]] void fail(const QString& what) {
  throw PlatformError(ErrorNumber::Other, what);
}

// mpv reads a name with "://" as an address and "-" as standard input; a
// play-list entry is always a file, so a relative one is made plainly so.
QByteArray asFileName(const QString& path) {
  QByteArray bytes = toHostBytes(path);
  if (!bytes.startsWith('/'))
    bytes.prepend("./");
  return bytes;
}

}  // namespace

struct MpvPlayer::Event {
  mpv_event_id id = MPV_EVENT_NONE;
  QByteArray property;
  bool flag = false;
  std::int64_t entry = -1;
};

MpvPlayer::MpvPlayer(QWidget* parent, Picture picture) : Player(parent) {
  // mpv refuses to start under a numeric locale other than "C".
  std::setlocale(LC_NUMERIC, "C");
  mpv_ = mpv_create();
  if (!mpv_)
    fail("The media player cannot start.");
  for (const auto& [name, value] : kFixedOptions)
    mpv_set_option_string(mpv_, name, value);
  mpv_set_option_string(mpv_, "vo", picture == Picture::None ? "null" : "libmpv");
  mpv_observe_property(mpv_, 0, "pause", MPV_FORMAT_FLAG);
  mpv_observe_property(mpv_, 0, "eof-reached", MPV_FORMAT_FLAG);
  // Called on mpv's threads: only post the draining to the GUI thread.
  mpv_set_wakeup_callback(
      mpv_,
      [](void* self) {
        QMetaObject::invokeMethod(static_cast<MpvPlayer*>(self), &MpvPlayer::drainEvents,
                                  Qt::QueuedConnection);
      },
      this);
  if (mpv_initialize(mpv_) < 0)
    fail("The media player cannot start.");

  if (picture == Picture::Automatic) {
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
      surface_ = std::make_unique<MpvSoftwareSurface>(mpv_, this);
    } else {
      surface_ = std::make_unique<MpvGlSurface>(
          mpv_, [this] { openPendingFile(); }, this);
    }
    surface_->widget().setGeometry(rect());
  }
  setFocusPolicy(Qt::StrongFocus);
  setAutoFillBackground(true);
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
}

MpvPlayer::~MpvPlayer() {
  mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
  surface_.reset();  // mpv's render context goes before mpv itself
  mpv_terminate_destroy(mpv_);
}

void MpvPlayer::setOption(const char* name, const char* value) {
  if (mpv_set_property_string(mpv_, name, value) < 0)
    fail(QStringLiteral("The media player refuses %1=%2.").arg(name, value));
}

void MpvPlayer::put(int dispid, const QVariant& value) {
  if (dispid == static_cast<int>(Dispid::FileName)) {
    values_[dispid] = value;
    open(value.toString());
  } else if (dispid == static_cast<int>(Dispid::AutoSize)) {
    values_[dispid] = value;  // the player never sizes itself to the media
  } else if (const Option* option = findOption(dispid)) {
    values_[dispid] = value;
    setOption(option->property, value.toBool() ? option->whenTrue : option->whenFalse);
  } else {
    fail(QStringLiteral("The media player has no property %1.").arg(dispid));
  }
}

QVariant MpvPlayer::get(int dispid) {
  if (dispid == static_cast<int>(Dispid::ImageSourceWidth))
    return static_cast<int>(pictureSize("demux-w", "width"));
  if (dispid == static_cast<int>(Dispid::ImageSourceHeight))
    return static_cast<int>(pictureSize("demux-h", "height"));
  if (dispid == static_cast<int>(Dispid::FileName) ||
      dispid == static_cast<int>(Dispid::AutoSize) || findOption(dispid)) {
    return values_.value(dispid);
  }
  fail(QStringLiteral("The media player has no property %1.").arg(dispid));
}

void MpvPlayer::invoke(int dispid) {
  if (dispid == static_cast<int>(Dispid::Play)) {
    if (!loaded_)
      return;
    if (atEnd_) {
      const char* rewind[] = {"seek", "0", "absolute", nullptr};
      mpv_command(mpv_, rewind);
    }
    started_ = true;
    setPause(false);
    updatePlayState();
  } else if (dispid == static_cast<int>(Dispid::Stop)) {
    const char* stop[] = {"stop", nullptr};
    mpv_command(mpv_, stop);
    loaded_ = false;
    updatePlayState();
  } else {
    fail(QStringLiteral("The media player has no method %1.").arg(dispid));
  }
}

// The size of the opened file's picture; 0 with no picture track.
std::int64_t MpvPlayer::pictureSize(const char* demuxed, const char* decoded) {
  if (!loaded_)
    return 0;
  // What the container says of the chosen picture track; what the decoder
  // says once it has decoded a frame.
  std::int64_t value = 0;
  if (mpv_get_property(mpv_, QByteArray("current-tracks/video/") + demuxed, MPV_FORMAT_INT64,
                       &value) >= 0 &&
      value > 0) {
    return value;
  }
  if (mpv_get_property(mpv_, decoded, MPV_FORMAT_INT64, &value) < 0)
    return 0;
  return value;
}

void MpvPlayer::open(const QString& path) {
  loaded_ = false;
  waitingForPicture_ = false;
  started_ = false;
  wantedEntry_ = -1;
  hasPendingPath_ = false;
  // Only a readable regular file is handed to mpv: it would play a folder's
  // contents as a list of its own, wait for ever on a pipe nobody writes to,
  // and read a name holding a zero byte as the shorter name before it.
  if (pathKind(path) != PathKind::ReadableFile) {
    const char* stop[] = {"stop", nullptr};
    mpv_command(mpv_, stop);
    updatePlayState();
    return;
  }
  setPause(true);
  updatePlayState();
  pendingPath_ = asFileName(path);
  hasPendingPath_ = true;
  openPendingFile();
}

// The render context must exist before mpv opens a file, or mpv would open
// it without a picture; an OpenGL surface makes it on its first showing.
void MpvPlayer::openPendingFile() {
  if (!hasPendingPath_ || (surface_ && !surface_->isReady()))
    return;
  hasPendingPath_ = false;
  const char* load[] = {"loadfile", pendingPath_.constData(), "replace", nullptr};
  mpv_node result{};
  if (mpv_command_ret(mpv_, load, &result) < 0)
    return;  // never ready: the screen stays as it is
  if (result.format == MPV_FORMAT_NODE_MAP) {
    for (int i = 0; i < result.u.list->num; ++i) {
      if (qstrcmp(result.u.list->keys[i], "playlist_entry_id") == 0 &&
          result.u.list->values[i].format == MPV_FORMAT_INT64) {
        wantedEntry_ = result.u.list->values[i].u.int64;
      }
    }
  }
  mpv_free_node_contents(&result);
  if (wantedEntry_ < 0)
    mpv_get_property(mpv_, "playlist/0/id", MPV_FORMAT_INT64, &wantedEntry_);
}

// Each event is copied out before it is acted on: a handler may open a
// nested event loop that drains mpv again, or end with the player gone.
void MpvPlayer::drainEvents() {
  QPointer<MpvPlayer> alive(this);
  while (alive) {
    const mpv_event* raw = mpv_wait_event(mpv_, 0);
    if (raw->event_id == MPV_EVENT_NONE)
      return;
    Event event;
    event.id = raw->event_id;
    if (raw->event_id == MPV_EVENT_PROPERTY_CHANGE) {
      const auto* change = static_cast<const mpv_event_property*>(raw->data);
      event.property = change->name;
      event.flag = change->format == MPV_FORMAT_FLAG && *static_cast<int*>(change->data) != 0;
    } else if (raw->event_id == MPV_EVENT_START_FILE) {
      event.entry = static_cast<const mpv_event_start_file*>(raw->data)->playlist_entry_id;
    } else if (raw->event_id == MPV_EVENT_END_FILE) {
      event.entry = static_cast<const mpv_event_end_file*>(raw->data)->playlist_entry_id;
    }
    handle(event);
  }
}

void MpvPlayer::handle(const Event& event) {
  switch (event.id) {
    case MPV_EVENT_START_FILE:
      currentEntry_ = event.entry;
      atEnd_ = false;
      break;
    case MPV_EVENT_FILE_LOADED:
      // Only the file last asked for counts; one replaced while it was
      // still opening is not ready.
      if (wantedEntry_ >= 0 && currentEntry_ == wantedEntry_ && !loaded_) {
        // A file with a picture is ready once its first frame is decoded:
        // only then is the picture's size certain.
        waitingForPicture_ = hasPictureTrack();
        if (!waitingForPicture_)
          reportReady();
      }
      break;
    case MPV_EVENT_VIDEO_RECONFIG:
      if (waitingForPicture_ && currentEntry_ == wantedEntry_)
        reportReady();
      break;
    case MPV_EVENT_END_FILE:
      if (event.entry == wantedEntry_)
        loaded_ = false;
      updatePlayState();
      break;
    case MPV_EVENT_PROPERTY_CHANGE:
      if (event.property == "pause")
        observePause(event.flag);
      else if (event.property == "eof-reached")
        atEnd_ = event.flag;
      updatePlayState();
      break;
    default:
      break;
  }
}

// Our own pause changes count at once. mpv reports a change a little later,
// and a report sent before it saw ours still carries the old value: reports
// are ignored until one shows the value we set. Only then is a change
// someone else's, a real pause.
void MpvPlayer::setPause(bool pause) {
  int current = paused_;
  mpv_get_property(mpv_, "pause", MPV_FORMAT_FLAG, &current);
  setOption("pause", pause ? "yes" : "no");
  paused_ = pause;
  if ((current != 0) != pause)
    pauseWeSet_ = pause;
}

void MpvPlayer::observePause(bool pause) {
  if (pauseWeSet_ && *pauseWeSet_ != pause) {
    // Old news, unless mpv holds that value now: then someone changed it
    // after us before mpv got round to reporting ours.
    int current = *pauseWeSet_;
    mpv_get_property(mpv_, "pause", MPV_FORMAT_FLAG, &current);
    if ((current != 0) == *pauseWeSet_)
      return;
  }
  pauseWeSet_.reset();
  paused_ = pause;
}

bool MpvPlayer::hasPictureTrack() {
  char* track = mpv_get_property_string(mpv_, "vid");
  const bool has = track && qstrcmp(track, "no") != 0 && qstrcmp(track, "auto") != 0;
  mpv_free(track);
  return has;
}

void MpvPlayer::reportReady() {
  waitingForPicture_ = false;
  loaded_ = true;
  emit ReadyStateChange(kReadyStateComplete);
}

void MpvPlayer::updatePlayState() {
  int now = play_state::kPlaying;
  if (!loaded_ || !started_ || atEnd_)
    now = play_state::kStopped;
  else if (paused_)
    now = play_state::kPaused;
  if (now == playState_)
    return;
  const int before = playState_;
  playState_ = now;
  emit PlayStateChange(before, now);
}

void MpvPlayer::mpvCommand(const QStringList& arguments) {
  QList<QByteArray> bytes;
  for (const QString& argument : arguments)
    bytes << argument.toUtf8();
  std::vector<const char*> command;
  for (const QByteArray& argument : bytes)
    command.push_back(argument.constData());
  command.push_back(nullptr);
  mpv_command(mpv_, command.data());
}

QImage MpvPlayer::softwareFrame() {
  auto* software = dynamic_cast<MpvSoftwareSurface*>(surface_.get());
  return software ? software->frame() : QImage();
}

void MpvPlayer::keyPressEvent(QKeyEvent* event) {
  event->accept();
  emit KeyDown();
}

void MpvPlayer::mousePressEvent(QMouseEvent* event) {
  event->accept();
  emit MouseDown();
}

void MpvPlayer::focusOutEvent(QFocusEvent* event) {
  Player::focusOutEvent(event);
  emit LostFocus();
}

void MpvPlayer::resizeEvent(QResizeEvent* event) {
  Player::resizeEvent(event);
  if (surface_)
    surface_->widget().setGeometry(rect());
}

}  // namespace platform
