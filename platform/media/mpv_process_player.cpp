#include "platform/media/mpv_process_player.h"

#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>
#include <array>
#include <memory>

#include "platform/errors.h"
#include "platform/media/media_entry.h"
#include "platform/media/media_source.h"
#include "platform/media/mpv_process.h"
#include "platform/media/video_cd_feed.h"

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

// Given to every mpv we start: it reads no configuration, takes no input,
// shows no pointer, runs no scripts and fetches nothing from the network,
// plays on without a sound device, never keeps the display awake, and holds
// a file at its end so that the end reads as "stopped". Its window stays
// from one file to the next: mpv 0.35's X11 output, torn down between two
// files, at times cut its own display connection and ended with it.
const QStringList kFixedArguments{
    "--no-config",
    "--idle=yes",
    "--terminal=no",
    "--input-ipc-client=fd://3",
    "--pause=yes",
    "--keep-open=yes",
    "--keep-open-pause=no",
    "--input-default-bindings=no",
    "--input-vo-keyboard=no",
    "--input-cursor=no",
    "--cursor-autohide=always",
    "--osc=no",
    "--ytdl=no",
    "--load-scripts=no",
    "--access-references=no",
    "--stop-screensaver=no",
    "--audio-fallback-to-null=yes",
    "--audio-display=no",
    "--hwdec=no",
    "--force-window=yes",
};

// How often mpv is asked for a sign of life when nothing else is asked.
constexpr int kHeartbeatMs = 1000;
// How often the watchdog looks.
constexpr int kWatchdogMs = 250;
// The largest picture side taken from mpv as it is.
constexpr qint64 kMaxSide = 1 << 16;

qint64 asInteger(const QJsonValue& value, qint64 otherwise) {
  const double number = value.toDouble(static_cast<double>(otherwise));
  if (!value.isDouble() || number != number || number < -9e15 || number > 9e15)
    return otherwise;
  return static_cast<qint64>(number);
}

QJsonArray command(std::initializer_list<QJsonValue> words) {
  return QJsonArray(words);
}

// The mount table, read whenever a file is opened: a disc comes and goes.
// Tests of the whole program name a file of their own, which mounts a Video
// CD image (its .cue file in place of a device) on a folder.
std::function<std::vector<Mount>()> mountTable() {
  const QString scripted = qEnvironmentVariable("REELVISTA_MOUNT_TABLE");
  if (scripted.isEmpty())
    return currentMounts;
  return [scripted] {
    QFile file(scripted);
    return file.open(QIODevice::ReadOnly) ? parseMounts(file.readAll()) : std::vector<Mount>();
  };
}

}  // namespace

MpvProcessPlayer::MpvProcessPlayer(QWidget* parent, Picture picture, bool sound)
    : Player(parent), picture_(picture), sound_(sound), mounts_(mountTable()) {
  if (picture_ == Picture::Automatic && QGuiApplication::platformName() == "offscreen")
    picture_ = Picture::None;
  // mpv draws into a window of its own inside ours, which selects no input:
  // keys and buttons still come to this widget.
  if (picture_ == Picture::Automatic)
    setAttribute(Qt::WA_NativeWindow);
  start();
}

MpvProcessPlayer::MpvProcessPlayer(QWidget* parent, HostWindow host)
    : Player(parent),
      picture_(Picture::Automatic),
      host_(host),
      sound_(host.sound),
      mounts_(mountTable()) {
  start();
}

void MpvProcessPlayer::start() {
  program_ = QStandardPaths::findExecutable(QStringLiteral("mpv"));
  if (program_.isEmpty())
    throw PlatformError(ErrorNumber::Other, QStringLiteral("The media player cannot start."));
  setFocusPolicy(Qt::StrongFocus);
  setAutoFillBackground(true);
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);

  process_ = new MpvProcess(this);
  connect(process_, &MpvProcess::lineReceived, this, &MpvProcessPlayer::onLine);
  connect(process_, &MpvProcess::gone, this, &MpvProcessPlayer::onGone);
  watchdog_ = new QTimer(this);
  watchdog_->setInterval(kWatchdogMs);
  connect(watchdog_, &QTimer::timeout, this, &MpvProcessPlayer::checkAnswers);
  ensureRunning();
}

MpvProcessPlayer::~MpvProcessPlayer() {
  pending_.clear();
  delete process_;
}

void MpvProcessPlayer::setMountTable(std::function<std::vector<Mount>()> mounts) {
  mounts_ = std::move(mounts);
}

qint64 MpvProcessPlayer::playerProcessId() const {
  return process_->isRunning() ? process_->processId() : 0;
}

QStringList MpvProcessPlayer::arguments() {
  QStringList all = kFixedArguments;
  // Only outputs that draw inside our window: mpv's pick of last resort
  // would open a window of its own, over ours, taking the keyboard focus.
  // Where OpenGL is only a software renderer, the plain X11 output costs less.
  if (picture_ == Picture::None)
    all << QStringLiteral("--vo=null");
  else
    all << QStringLiteral("--vo=gpu,x11")
        << QStringLiteral("--wid=%1").arg(host_.window ? host_.window : winId());
  // The sound is decoded and dropped, so that a sound file still lasts as
  // long as it plays.
  if (!sound_)
    all << QStringLiteral("--ao=null");
  // For whoever looks into a player's trouble: mpv's own log.
  if (qEnvironmentVariableIsSet("REELVISTA_PLAYER_LOG"))
    all << "--log-file=" + qEnvironmentVariable("REELVISTA_PLAYER_LOG");
  return all;
}

// Starts a fresh mpv when none runs, or when the one running was started
// with a sound output it should not have (or without one it should), and
// gives it every option set so far.
bool MpvProcessPlayer::ensureRunning() {
  if (process_->isRunning() && runningSound_ == sound_)
    return true;
  runningSound_ = sound_;
  pending_.clear();
  pauseChangesInFlight_ = 0;
  currentEntry_ = loadedEntry_ = reconfiguredEntry_ = -2;
  paused_ = true;
  atEnd_ = false;
  if (!process_->start(program_, arguments()))
    return false;
  lastHeard_.start();
  watchdog_->start();
  request(command({"observe_property", 1, "pause"}));
  request(command({"observe_property", 2, "eof-reached"}));
  for (auto it = values_.cbegin(); it != values_.cend(); ++it) {
    if (const Option* option = findOption(it.key()))
      setProperty(option->property, it.value().toBool() ? option->whenTrue : option->whenFalse);
  }
  return true;
}

void MpvProcessPlayer::request(const QJsonArray& words, Reply reply) {
  if (!process_->isRunning())
    return;
  const qint64 id = nextRequest_++;
  QJsonObject line{{"command", words}, {"request_id", id}};
  Pending& pending = pending_[id];
  pending.reply = std::move(reply);
  pending.sent.start();
  if (!process_->send(QJsonDocument(line).toJson(QJsonDocument::Compact))) {
    // It has left a great deal unread: as good as hung.
    QMetaObject::invokeMethod(
        this,
        [this, pid = process_->processId()] {
          if (process_->processId() != pid)
            return;  // already replaced
          process_->kill();
          onGone();
        },
        Qt::QueuedConnection);
  }
}

void MpvProcessPlayer::setProperty(const QString& name, const QJsonValue& value) {
  request(command({"set_property", name, value}));
}

// Each line is read as mpv's, but trusted no further than its shape: what is
// not an object with the expected types is left alone.
void MpvProcessPlayer::onLine(const QByteArray& line) {
  lastHeard_.start();
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(line, &error);
  if (error.error != QJsonParseError::NoError || !document.isObject())
    return;
  const QJsonObject object = document.object();
  if (object.value("event").isString())
    onEvent(object);
  else if (object.contains("request_id"))
    onReply(object);
}

void MpvProcessPlayer::onReply(const QJsonObject& reply) {
  const auto found = pending_.find(asInteger(reply.value("request_id"), -1));
  if (found == pending_.end())
    return;
  const Reply handler = std::move(found->second.reply);
  pending_.erase(found);
  if (handler)
    handler(reply.value("error").toString() == QLatin1String("success"), reply.value("data"));
}

void MpvProcessPlayer::onEvent(const QJsonObject& event) {
  const QString name = event.value("event").toString();
  if (name == QLatin1String("start-file")) {
    currentEntry_ = asInteger(event.value("playlist_entry_id"), -2);
    atEnd_ = false;
  } else if (name == QLatin1String("file-loaded")) {
    loadedEntry_ = currentEntry_;
    checkLoaded();
  } else if (name == QLatin1String("video-reconfig")) {
    reconfiguredEntry_ = currentEntry_;
    if (waitingForPicture_ && currentEntry_ == wantedEntry_)
      readSizesThenReady();
  } else if (name == QLatin1String("end-file")) {
    onFileEnded(asInteger(event.value("playlist_entry_id"), -2), event.value("reason").toString());
    updatePlayState();
  } else if (name == QLatin1String("property-change")) {
    const QString property = event.value("name").toString();
    const QJsonValue value = event.value("data");
    if (property == QLatin1String("pause") && value.isBool())
      observePause(value.toBool());
    else if (property == QLatin1String("eof-reached"))
      atEnd_ = value.toBool(false);
    updatePlayState();
  }
}

// A file that ends, at its end or because it will not play, hands on to the
// next one of the same entry: mpv goes on to it, and for the program it is
// the same file going on (ready once, stopped after the last).
void MpvProcessPlayer::onFileEnded(qint64 entry, const QString& reason) {
  if (entry != wantedEntry_)
    return;
  const bool handsOn = reason == QLatin1String("eof") || reason == QLatin1String("error");
  if (handsOn && !following_.empty()) {
    wantedEntry_ = following_.front();
    following_.pop_front();
    return;
  }
  loaded_ = false;
  waitingForPicture_ = false;
  loadedEntry_ = -2;
}

// mpv died, or was killed for not answering: what was playing has stopped,
// what was opening never gets ready; the next file starts a fresh mpv.
void MpvProcessPlayer::onGone() {
  watchdog_->stop();
  pending_.clear();
  ++serial_;
  loaded_ = false;
  checkingLoaded_ = false;
  waitingForPicture_ = false;
  wantedEntry_ = -1;
  updatePlayState();
}

// A request unanswered for long means mpv is hung (stopped, looping in a
// decoder, stuck in the kernel); with none outstanding, one is made up.
void MpvProcessPlayer::checkAnswers() {
  if (!process_->isRunning())
    return;
  if (!pending_.empty() && pending_.begin()->second.sent.hasExpired(kAnswerMs)) {
    process_->kill();
    onGone();
    return;
  }
  if (pending_.empty() && lastHeard_.hasExpired(kHeartbeatMs))
    request(command({"get_property", "idle-active"}));
}

void MpvProcessPlayer::put(int dispid, const QVariant& value) {
  if (dispid == static_cast<int>(Dispid::FileName)) {
    values_[dispid] = value;
    open(value.toString());
  } else if (dispid == static_cast<int>(Dispid::AutoSize)) {
    values_[dispid] = value;  // the player never sizes itself to the media
  } else if (const Option* option = findOption(dispid)) {
    values_[dispid] = value;
    if (process_->isRunning())
      setProperty(option->property, value.toBool() ? option->whenTrue : option->whenFalse);
  } else {
    throw PlatformError(ErrorNumber::Other,
                        QStringLiteral("The media player has no property %1.").arg(dispid));
  }
}

QVariant MpvProcessPlayer::get(int dispid) {
  if (dispid == static_cast<int>(Dispid::ImageSourceWidth))
    return loaded_ ? width_ : 0;
  if (dispid == static_cast<int>(Dispid::ImageSourceHeight))
    return loaded_ ? height_ : 0;
  if (dispid == static_cast<int>(Dispid::FileName) ||
      dispid == static_cast<int>(Dispid::AutoSize) || findOption(dispid)) {
    return values_.value(dispid);
  }
  throw PlatformError(ErrorNumber::Other,
                      QStringLiteral("The media player has no property %1.").arg(dispid));
}

// A player that is to be silent goes quiet at once; the next file gets an
// mpv without a sound output. One that is to be heard needs a new mpv, which
// the next file gets.
void MpvProcessPlayer::setSoundOutput(bool on) {
  sound_ = on;
  if (!on && process_->isRunning())
    setProperty("mute", true);
}

void MpvProcessPlayer::invoke(int dispid) {
  if (dispid == static_cast<int>(Dispid::Play)) {
    if (!loaded_)
      return;
    if (atEnd_)
      request(command({"seek", 0, "absolute"}));
    started_ = true;
    setPause(false);
    updatePlayState();
  } else if (dispid == static_cast<int>(Dispid::Stop)) {
    request(command({"stop"}));
    loaded_ = false;
    updatePlayState();
  } else {
    throw PlatformError(ErrorNumber::Other,
                        QStringLiteral("The media player has no method %1.").arg(dispid));
  }
}

void MpvProcessPlayer::open(const QString& path) {
  ++serial_;
  loaded_ = false;
  checkingLoaded_ = false;
  waitingForPicture_ = false;
  started_ = false;
  wantedEntry_ = -1;
  following_.clear();
  width_ = height_ = 0;
  feed_.reset();  // the track read before ends here
  const QStringList sources = sourcesOf(path);
  if (sources.isEmpty() || !ensureRunning()) {
    // The program empties the name before every file. The file is closed
    // once the program is done setting up the next one, unless that one
    // replaces it: mpv then keeps the last picture and its sound output
    // until the next file's first picture, as between the files of its own
    // play list, instead of a black screen while it sets them up again.
    QTimer::singleShot(0, this, [this, serial = serial_] {
      if (serial == serial_)
        request(command({"stop"}));
    });
    updatePlayState();
    return;
  }
  setPause(true);
  updatePlayState();
  const int serial = serial_;
  request(command({"loadfile", sources.front(), "replace"}),
          [this, serial](bool success, const QJsonValue& answer) {
            if (success)
              onOpened(serial, answer);
          });
  for (qsizetype i = 1; i < sources.size(); ++i) {
    request(command({"loadfile", sources[i], "append"}),
            [this, serial](bool success, const QJsonValue& answer) {
              const qint64 entry = asInteger(answer.toObject().value("playlist_entry_id"), -1);
              if (success && serial == serial_ && entry >= 0)
                following_.push_back(entry);
            });
  }
}

// What mpv opens for one play-list entry: the files it names, each checked
// as any file is, or the FIFO a Video CD track is read into.
QStringList MpvProcessPlayer::sourcesOf(const QString& path) {
  const MediaEntry entry = mediaEntryOf(path, mounts_ ? mounts_() : std::vector<Mount>());
  if (entry.track) {
    feed_ = std::make_unique<VideoCdFeed>(entry.track->device, entry.track->pathOnDisc);
    return feed_->path().isEmpty() ? QStringList() : QStringList{feed_->path()};
  }
  QStringList sources;
  for (const QString& file : entry.files) {
    if (const std::optional<QString> source = mpvSource(file))
      sources << *source;
  }
  return sources;
}

void MpvProcessPlayer::onOpened(int serial, const QJsonValue& answer) {
  if (serial != serial_)
    return;
  wantedEntry_ = asInteger(answer.toObject().value("playlist_entry_id"), -1);
  checkLoaded();
}

// Only the file last asked for counts; one replaced while it was still
// opening is not ready. A file with a picture is ready once its first frame
// is decoded: only then is the picture's size certain.
void MpvProcessPlayer::checkLoaded() {
  if (wantedEntry_ < 0 || loadedEntry_ != wantedEntry_ || loaded_ || checkingLoaded_)
    return;
  checkingLoaded_ = true;
  const int serial = serial_;
  request(command({"get_property", "vid"}),
          [this, serial](bool, const QJsonValue& track) { onPictureTrack(serial, track); });
}

void MpvProcessPlayer::onPictureTrack(int serial, const QJsonValue& track) {
  if (serial != serial_)
    return;
  if (asInteger(track, 0) <= 0) {
    reportReady();
    return;
  }
  waitingForPicture_ = true;
  if (reconfiguredEntry_ == wantedEntry_)
    readSizesThenReady();
}

// What the container says of the chosen picture track, or else what the
// decoder says.
void MpvProcessPlayer::readSizesThenReady() {
  waitingForPicture_ = false;
  const int serial = serial_;
  auto sizes = std::make_shared<std::array<qint64, 4>>();
  const std::array<const char*, 4> names{"current-tracks/video/demux-w",
                                         "current-tracks/video/demux-h", "width", "height"};
  for (std::size_t i = 0; i < names.size(); ++i) {
    request(command({"get_property", names[i]}),
            [this, serial, sizes, i](bool, const QJsonValue& value) {
              (*sizes)[i] = qBound<qint64>(0, asInteger(value, 0), kMaxSide);
              if (i + 1 < sizes->size() || serial != serial_)
                return;
              width_ = static_cast<int>((*sizes)[0] > 0 ? (*sizes)[0] : (*sizes)[2]);
              height_ = static_cast<int>((*sizes)[1] > 0 ? (*sizes)[1] : (*sizes)[3]);
              reportReady();
            });
  }
}

// Our own pause changes count at once. Reports mpv sent before it took ours
// still carry the old value, so they are ignored until it has answered; its
// answer to the question asked right after is the value from then on, and
// later changes are someone else's: a real pause.
void MpvProcessPlayer::setPause(bool pause) {
  paused_ = pause;
  ++pauseChangesInFlight_;
  setProperty("pause", pause);
  request(command({"get_property", "pause"}), [this](bool success, const QJsonValue& value) {
    if (--pauseChangesInFlight_ > 0 || !success || !value.isBool())
      return;
    paused_ = value.toBool();
    updatePlayState();
  });
}

void MpvProcessPlayer::observePause(bool pause) {
  if (pauseChangesInFlight_ == 0)
    paused_ = pause;
}

void MpvProcessPlayer::reportReady() {
  if (loaded_ || loadedEntry_ != wantedEntry_)
    return;
  loaded_ = true;
  emit ReadyStateChange(kReadyStateComplete);
}

void MpvProcessPlayer::updatePlayState() {
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

void MpvProcessPlayer::mpvCommand(const QStringList& arguments) {
  request(QJsonArray::fromStringList(arguments));
}

void MpvProcessPlayer::keyPressEvent(QKeyEvent* event) {
  event->accept();
  emit KeyDown();
}

void MpvProcessPlayer::mousePressEvent(QMouseEvent* event) {
  event->accept();
  emit MouseDown();
}

void MpvProcessPlayer::focusOutEvent(QFocusEvent* event) {
  Player::focusOutEvent(event);
  emit LostFocus();
}

}  // namespace platform
