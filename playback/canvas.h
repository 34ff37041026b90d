#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>

struct Program;
class QTimer;
namespace platform {
class Player;
}

// The saver itself: the full-screen window above every other that hosts the
// media player, plays the play list in random order, and hands every sign of
// the user to the exit routine.
class Canvas : public QWidget {
  Q_OBJECT

 public:
  // The routine input calls; ExitSaver unless a test hands in its own.
  using ExitRoutine = std::function<void(Program&, platform::Player&, QWidget&)>;

  // Where the picture goes: this full-screen window, or a window another
  // screen saver owns. There the player draws straight into the host's
  // window, this one is never shown, and input is the host's alone.
  enum class Place { OwnWindow, HostWindow };

  explicit Canvas(Program& program, Place place = Place::OwnWindow);
  ~Canvas() override;

  // Showing the window starts playback; in a host's window it maps nothing.
  void setVisible(bool visible) override;

  void setExitRoutine(ExitRoutine routine) { exitRoutine_ = std::move(routine); }
  platform::Player& player() { return *Reelvista1; }

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

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Form_Load();
  void connectPlayer();
  void placePlayer();
  void exitOnInput();
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
};
