#include "searcher/searcher.h"

#include "startup/program.h"

Searcher::Searcher(Program& /*program*/, SearchClient& /*opener*/, QWidget* settingsDialog)
    : QDialog(settingsDialog) {
  setWindowTitle(QStringLiteral("Search Reelvista file"));
}
