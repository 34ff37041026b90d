#pragma once

#include <QWidget>

struct Program;

// The start-up scan window: collects media from the scan drive before
// playback starts.
class WinSeek : public QWidget {
  Q_OBJECT

 public:
  explicit WinSeek(Program& program);

 protected:
  bool event(QEvent* event) override;

 private:
  void Form_Load();
  void Form_Activate();

  Program& program_;
};
