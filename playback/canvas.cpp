#include "playback/canvas.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "platform/controls/placing.h"
#include "platform/lock/idle_daemon.h"
#include "platform/media/player.h"
#include "playback/monitors.h"
#include "playback/play_order.h"
#include "startup/exit_saver.h"
#include "startup/program.h"

using platform::Dispid;

namespace {

// An idle daemon waits on us; a saver that cannot get on screen says so by
// its exit status rather than sitting unseen.
constexpr int kCoverDeadlineMs = 10000;

// The options LoadReelvista sets before every file, in order.
constexpr std::pair<Dispid, bool> kPlayerOptions[] = {
    {Dispid::AutoSize, false},
    {Dispid::OnScreenMessages, false},
    {Dispid::SeekBar, false},
    {Dispid::Subtitles, false},
    {Dispid::KeepAspect, true},
    {Dispid::PlayWithoutSoundDevice, true},
    {Dispid::Sound, true},
    {Dispid::ScaleToPlayer, true},
    {Dispid::CoverArtIsNoPicture, true},
    {Dispid::LoopFile, false},
    {Dispid::SubtitleFilesBeside, false},
    {Dispid::CoverFilesBeside, false},
    {Dispid::SoundFilesBeside, false},
};

QCursor transparentPointer() {
  QPixmap image(32, 32);
  image.fill(Qt::transparent);
  return QCursor(image, 0, 0);
}

}  // namespace

Canvas::Canvas(Program& program, Place place)
    : program_(program),
      exitRoutine_(ExitSaver),
      place_(place),
      MovieReady(&program.state.MovieReady) {
  Form_Load();
  // The host owns the keyboard, the mouse and the end of the run.
  if (place_ == Place::HostWindow)
    exitRoutine_ = [](Program&, platform::Player&, QWidget&) {};
  else
    monitors_ = new Monitors(program_, *this);
}

// Input here goes to the first window's exit routine, and the order is the
// first window's pass.
Canvas::Canvas(Program& program, const Beside& beside)
    : program_(program),
      place_(Place::OwnWindow),
      first_(&beside.first),
      monitors_(beside.first.monitors_),
      monitor_(beside.monitor),
      sound_(beside.sound),
      MovieReady(&besideMovieReady_),
      pass_(beside.first.pass_),
      passKey_(beside.key) {
  exitRoutine_ = [this](Program& run, platform::Player& player, QWidget& owner) {
    first_->exitRoutine()(run, player, owner);
  };
  // Shown, it stays out of the focus's way: the first window losing the
  // focus would be a sign of the user.
  setAttribute(Qt::WA_ShowWithoutActivating);
  Form_Load();
}

Canvas::~Canvas() {
  // Hiding the window on the way out takes the focus from the player; that
  // is no sign of the user.
  if (Reelvista1)
    Reelvista1->disconnect(this);
  if (pass_ != &ownPass_)
    pass_->leave(passKey_);
  // The windows beside this one leave its pass as they go: before the pass
  // itself goes.
  if (first_ == this)
    delete monitors_;
}

void Canvas::Form_Load() {
  // Topmost and frameless from the start: changing the flags of a shown
  // window hides it for a moment, which would take the focus away.
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setWindowState(Qt::WindowFullScreen);
  setWindowTitle(QStringLiteral("Reelvista"));
  platform::paintBackground(*this, Qt::black);
  setCursor(transparentPointer());

  Reelvista1 = program_.platform.makePlayer(this, sound_);
  connectPlayer();
  placePlayer();
  Reelvista1->setFocus();

  if (first_ == this)
    new platform::TerminationSignal([this] { program_.platform.process->endAtOnce(0); }, this);
  coverDeadline_ = new QTimer(this);
  coverDeadline_->setSingleShot(true);
  coverDeadline_->setInterval(kCoverDeadlineMs);
  connect(coverDeadline_, &QTimer::timeout, this, &Canvas::giveUpUncovered);
}

void Canvas::connectPlayer() {
  using platform::Player;
  connect(Reelvista1, &Player::ReadyStateChange, this, &Canvas::Reelvista1_ReadyStateChange);
  connect(Reelvista1, &Player::PlayStateChange, this, &Canvas::Reelvista1_PlayStateChange);
  connect(Reelvista1, &Player::KeyDown, this, &Canvas::Reelvista1_KeyDown);
  connect(Reelvista1, &Player::MouseDown, this, &Canvas::Reelvista1_MouseDown);
  connect(Reelvista1, &Player::LostFocus, this, &Canvas::Reelvista1_LostFocus);
}

bool Canvas::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate)
    Form_Activate();
  return QWidget::event(event);
}

// A request to close the window (a window manager's Alt+F4, or any program
// on the display asking) is a sign of the user like a key: it goes to the
// exit routine, which ends the program once the password, if one is set,
// has been given. The window itself never closes, or the program would end
// without it.
void Canvas::closeEvent(QCloseEvent* event) {
  event->ignore();
  exitOnInput();
}

void Canvas::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (first_ != this)
    return;  // it plays when the first window does
  // Without a window manager nobody activates a new window but us.
  activateWindow();
  if (!covered_)
    coverDeadline_->start();
}

void Canvas::setVisible(bool visible) {
  if (place_ == Place::OwnWindow) {
    if (visible)
      placeOnMonitor();
    QWidget::setVisible(visible);
    if (visible && monitors_ && first_ == this)
      monitors_->show();
  } else if (visible && !playingInHost_) {
    playInHostWindow();
  }
}

// What activation does for our own window, less all that concerns a window
// on screen: the host has covered the screen and holds the input.
void Canvas::playInHostWindow() {
  playingInHost_ = true;
  Shuffle();
  *MovieReady = false;
  ChangeMovie();
}

void Canvas::mousePressEvent(QMouseEvent* event) {
  event->accept();
  Form_MouseDown();
}

// Its monitor, wherever that sits: the primary need not be at (0, 0).
void Canvas::Form_Activate() {
  platform::Desktop& desktop = *program_.platform.desktop;
  Shuffle();
  *MovieReady = false;
  placeOnMonitor();
  placePlayer();
  desktop.makeTopmost(*this);
  desktop.bringToTop(*this);
  while (desktop.showCursor(false) >= 0) {
  }
  desktop.letEventsRun();
  ChangeMovie();
  program_.windows.winSeek().hide();
  screenCovered();
}

void Canvas::playBeside() {
  platform::Desktop& desktop = *program_.platform.desktop;
  placeOnMonitor();
  placePlayer();
  desktop.makeTopmost(*this);
  raise();
  ChangeMovie();
  screenCovered();
}

QRect Canvas::monitor() const {
  return monitor_.isEmpty() ? program_.platform.desktop->primaryMonitor() : monitor_;
}

void Canvas::moveToMonitor(const QRect& monitor) {
  monitor_ = monitor;
  if (isVisible()) {
    placeOnMonitor();
    placePlayer();
  }
}

void Canvas::placeOnMonitor() {
  setGeometry(monitor());
}

// A player that gains the sound moves on to the next file at once, which
// it plays heard. One that loses it goes quiet at once, and moves on too:
// muted, it would hold its sound output to the end of a clip that may last
// an hour, and the sound would only be wholly where it belongs then.
void Canvas::setSound(bool heard) {
  if (heard == sound_)
    return;
  sound_ = heard;
  Reelvista1->setSoundOutput(heard);
  if (covered_ && !program_.state.Exiting) {
    placePlayer();
    ChangeMovie();
  }
}

void Canvas::placePlayer() {
  Reelvista1->setGeometry(0, 0, width(), height());
}

void Canvas::Shuffle() {
  shufflePlayOrder(program_.state);
}

void Canvas::ChangeMovie() {
  LoadReelvista(pass_->next(program_.state, passKey_));
}

void Canvas::LoadReelvista(std::int16_t slot) {
  *MovieReady = false;
  Reelvista1->put(Dispid::FileName, QString());
  for (const auto& [dispid, value] : kPlayerOptions)
    Reelvista1->put(dispid, value);
  Reelvista1->put(Dispid::FileName, program_.state.PlayList.at(slot));
}

void Canvas::Reelvista1_ReadyStateChange(int readyState) {
  if (readyState != platform::kReadyStateComplete)
    return;
  *MovieReady = true;
  Reelvista1->invoke(Dispid::Play);
  const int pictureWidth = Reelvista1->get(Dispid::ImageSourceWidth).toInt();
  const int pictureHeight = Reelvista1->get(Dispid::ImageSourceHeight).toInt();
  // Sound only: the player goes just below the window, out of view, and the
  // black window fills the screen while the sound plays.
  if (pictureWidth == 0 && pictureHeight == 0)
    Reelvista1->move(Reelvista1->x(), height() + 1);
}

void Canvas::Reelvista1_PlayStateChange(int oldState, int newState) {
  namespace play_state = platform::play_state;
  if (program_.state.Exiting || oldState != play_state::kPlaying)
    return;
  // A stop while the next file is still loading is not the end of the file
  // last opened.
  if (newState == play_state::kStopped && *MovieReady) {
    placePlayer();
    ChangeMovie();
  }
  if (newState == play_state::kPaused && !program_.state.Exiting)
    callExitRoutine();
}

void Canvas::exitOnInput() {
  if (!program_.state.Exiting)
    callExitRoutine();
}

// The password prompt shows over the window of the monitor the pointer is
// on, where the person who woke it looks.
void Canvas::callExitRoutine() {
  Canvas& owner = monitors_ ? monitors_->underPointer() : *this;
  exitRoutine_(program_, owner.player(), owner);
}

void Canvas::Form_MouseDown() {
  exitOnInput();
}

void Canvas::Reelvista1_KeyDown() {
  exitOnInput();
}

void Canvas::Reelvista1_MouseDown() {
  exitOnInput();
}

void Canvas::Reelvista1_LostFocus() {
  exitOnInput();
}

// The first time the window is up over the whole screen it takes the keys
// of a locked run, and an idle daemon that holds off sleep until then may
// let it go.
void Canvas::screenCovered() {
  if (covered_)
    return;
  covered_ = true;
  coverDeadline_->stop();
  program_.platform.guard->covered(static_cast<std::uint32_t>(winId()));
  program_.platform.guard->takeInput(*this);
  platform::releaseSleepLock();
  emit startedPlaying();
}

void Canvas::giveUpUncovered() {
  if (covered_)
    return;
  std::fprintf(stderr, "Reelvista: the screen could not be covered; the saver ends.\n");
  program_.platform.process->endAtOnce(1);
}
