#pragma once

#include <QDialog>

struct Program;
class SearchClient;

// The search dialog: walks a folder tree and adds what it finds to the play
// list the settings dialog is editing.
class Searcher : public QDialog {
  Q_OBJECT

 public:
  // The opener is the settings dialog, seen through what the search needs of it.
  Searcher(Program& program, SearchClient& opener, QWidget* settingsDialog);
};
