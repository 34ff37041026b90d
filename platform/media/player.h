#pragma once

#include <QVariant>
#include <QWidget>

namespace platform {

// The dispatch identifiers the program drives the media player by. The
// options are set before every file; beside each is what it selects in our
// player (the mpv property it sets) and the value the program gives it.
enum class Dispid : int {
  FileName = 1026,           // set: the media file to open; empty text closes the file
  AutoSize = -500,           // set: false, the player does not size itself to the media
  ImageSourceWidth = 1001,   // read: picture width, 0 for sound only
  ImageSourceHeight = 1002,  // read: picture height, 0 for sound only
  Play = 2001,               // method: start the opened file
  Stop = 2003,               // method: halt playback

  // Display and behaviour options, in the order the program sets them.
  OnScreenMessages = 1025,  // false: no text over the picture (osd-level 0, true: 1)
  SeekBar = 24,             // false: no position bar over the picture (osd-bar)
  Subtitles = 23,           // false: subtitle tracks are not shown (sub-visibility)
  KeepAspect = 1013,        // true: the picture keeps its proportions in black bars (keepaspect)
  PlayWithoutSoundDevice = 1014,  // true: a file plays on when no sound device opens
                                  // (audio-fallback-to-null)
  Sound = 1015,                   // true: the sound is heard (mute=no; false mutes)
  ScaleToPlayer = 1062,           // true: the picture is scaled to the player (video-unscaled=no)
  CoverArtIsNoPicture = 1069,     // true: a sound file's cover art is not shown, the file counts
                                  // as sound only (audio-display=no)
  LoopFile = 1108,                // false: a file plays once and stops at its end (loop-file=no)
  SubtitleFilesBeside = 27,       // false: no subtitle files are taken from the media's folder
                                  // (sub-auto=no)
  CoverFilesBeside = 29,          // false: no picture files in a sound file's folder become its
                                  // cover (cover-art-auto=no)
  SoundFilesBeside = 1021,        // false: no sound files in the media's folder are played with
                                  // it (audio-file-auto=no)
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

  // Whether the player opens a sound output at all (it does until told
  // otherwise): of the players on several monitors only one is heard. Takes
  // effect with the next file.
  virtual void setSoundOutput(bool on) = 0;

  void put(Dispid dispid, const QVariant& value) { put(static_cast<int>(dispid), value); }
  QVariant get(Dispid dispid) { return get(static_cast<int>(dispid)); }
  void invoke(Dispid dispid) { invoke(static_cast<int>(dispid)); }

 signals:
  void ReadyStateChange(int readyState);
  void PlayStateChange(int oldState, int newState);
  void KeyDown();
  void MouseDown();
  void LostFocus();
};

}  // namespace platform
