#pragma once

#include <QVariant>
#include <QWidget>

namespace platform {

// The dispatch identifiers the program drives the media player by.
// The playback work documents beside each option what it selects here.
enum class Dispid : int {
  FileName = 1026,           // set: the media file to open
  AutoSize = -500,           // set: the player does not size itself to the media
  ImageSourceWidth = 1001,   // read: picture width, 0 for sound only
  ImageSourceHeight = 1002,  // read: picture height, 0 for sound only
  Play = 2001,               // method: start the opened file
  Stop = 2003,               // method: halt playback
};

// Player states as the player reports them.
namespace play_state {
constexpr int kStopped = 0;
constexpr int kPaused = 1;
constexpr int kPlaying = 2;
}  // namespace play_state
constexpr int kReadyStateComplete = 4;

// The media player control hosted by the playback window. It is a widget: it
// fills its area of the window and receives the keyboard and the mouse there.
class Player : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;

  // Property set and read, and method invocation, by dispid.
  virtual void put(int dispid, const QVariant& value) = 0;
  virtual QVariant get(int dispid) = 0;
  virtual void invoke(int dispid) = 0;

 signals:
  void ReadyStateChange(int readyState);
  void PlayStateChange(int oldState, int newState);
  void KeyDown();
  void MouseDown();
  void LostFocus();
};

}  // namespace platform
