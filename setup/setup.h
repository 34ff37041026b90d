#pragma once

#include <QDialog>

struct Program;

// The settings dialog: edits the pattern list, the drive scan and the play
// list, and writes the settings file on OK.
class Setup : public QDialog {
  Q_OBJECT

 public:
  explicit Setup(Program& program);

 protected:
  bool event(QEvent* event) override;

 private:
  void Form_Load();
  void Form_Activate();

  Program& program_;
};
