#pragma once

#include <QRect>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "playback/shared_pass.h"

struct Program;
class QTimer;
class Monitors;
namespace platform {
class Player;
}

// The saver itself: the full-screen window above every other that hosts the
// media player, plays the play list in random order, and hands every sign of
// the user to the exit routine. The program's one window of this kind plays
// on the primary monitor and has the focus; it opens one more on each other
// monitor, beside it (see Monitors), and all of them take turns in one pass
// of the play list.
class Canvas : public QWidget {
  Q_OBJECT

 public:
  // The routine input calls; ExitSaver unless a test hands in its own.
  using ExitRoutine = std::function<void(Program&, platform::Player&, QWidget&)>;

  // Where the picture goes: this full-screen window, or a window another
  // screen saver owns. There the player draws straight into the host's
  // window, this one is never shown, and input is the host's alone.
  enum class Place { OwnWindow, HostWindow };

  // A window on another monitor than the one with the focus: it shows
  // without taking the focus, and plays once the first window plays.
  struct Beside {
    Canvas& first;
    QRect monitor;
    bool sound = false;
    int key = 0;  // names it in the shared pass
  };

  explicit Canvas(Program& program, Place place = Place::OwnWindow);
  Canvas(Program& program, const Beside& beside);
  ~Canvas() override;

  // Showing the window starts playback; in a host's window it maps nothing.
  void setVisible(bool visible) override;

  void setExitRoutine(ExitRoutine routine) { exitRoutine_ = std::move(routine); }
  platform::Player& player() { return *Reelvista1; }
  // The monitor it plays on; an empty one means the primary.
  QRect monitor() const;
  void moveToMonitor(const QRect& monitor);
  // Whether its player is heard. The sound moves with no gap longer than a
  // clip change.
  void setSound(bool heard);
  bool sound() const { return sound_; }
  bool isPlaying() const { return covered_; }
  // The playback windows of the other monitors; null in a host's window.
  Monitors* monitors() { return monitors_; }
  const ExitRoutine& exitRoutine() const { return exitRoutine_; }

  void Shuffle();
  void ChangeMovie();
  void LoadReelvista(std::int16_t slot);

  // Handlers, run by the window system and the player.
  void Form_Activate();
  void Form_MouseDown();
  void Reelvista1_KeyDown();
  void Reelvista1_MouseDown();
  void Reelvista1_LostFocus();
  void Reelvista1_PlayStateChange(int oldState, int newState);
  void Reelvista1_ReadyStateChange(int readyState);

  // What activation does for a window beside the first, which neither
  // takes the focus nor shuffles: the order goes on where the others are.
  void playBeside();

 signals:
  // It covers its monitor and plays, for the first time.
  void startedPlaying();

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Form_Load();
  void connectPlayer();
  void placeOnMonitor();
  void placePlayer();
  void exitOnInput();
  void callExitRoutine();
  void screenCovered();
  void giveUpUncovered();
  void playInHostWindow();

  Program& program_;
  platform::Player* Reelvista1 = nullptr;
  ExitRoutine exitRoutine_;
  QTimer* coverDeadline_ = nullptr;
  bool covered_ = false;
  Place place_;
  bool playingInHost_ = false;
  Canvas* first_ = this;          // the window that has the focus and the exit routine
  Monitors* monitors_ = nullptr;  // the first window's, shared by all
  QRect monitor_;
  bool sound_ = true;
  // Whether the file this window's player last opened has reported ready:
  // the first window's is the shared state's, each other window has one.
  bool* MovieReady = nullptr;
  bool besideMovieReady_ = false;
  SharedPass ownPass_;  // the first window's: the pass all share
  SharedPass* pass_ = &ownPass_;
  int passKey_ = 0;
};
