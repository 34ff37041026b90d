#pragma once

#include <QDialog>

struct Program;

// The search dialog: walks a folder tree and adds what it finds to the play
// list the settings dialog is editing.
class Searcher : public QDialog {
  Q_OBJECT

 public:
  explicit Searcher(Program& program, QWidget* settingsDialog);
};
