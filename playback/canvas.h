#pragma once

#include <QWidget>

struct Program;

// The saver itself: the full-screen window that hosts the media player.
class Canvas : public QWidget {
  Q_OBJECT

 public:
  explicit Canvas(Program& program);

 protected:
  bool event(QEvent* event) override;

 private:
  void Form_Load();
  void Form_Activate();

  Program& program_;
};
