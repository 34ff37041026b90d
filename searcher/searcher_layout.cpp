// The controls of the search dialog and where they stand. Positions and sizes
// are in twips, relative to the control's container.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "platform/controls/dialog_font.h"
#include "platform/controls/drive_list.h"
#include "platform/controls/file_list.h"
#include "platform/controls/folder_list.h"
#include "platform/controls/program_icon.h"
#include "platform/controls/units.h"
#include "search/search_panel.h"
#include "searcher/searcher.h"
#include "startup/program.h"

using platform::placeInDialog;

namespace {

const QColor kButtonGrey(192, 192, 192);

QPushButton* button(QWidget* dialog, const char* name, const QString& caption, int left) {
  QPushButton* button =
      placeInDialog(new QPushButton(caption, dialog), name, left, 2400, 1200, 375);
  QPalette colours = button->palette();
  colours.setColor(QPalette::Button, kButtonGrey);
  button->setPalette(colours);
  return button;
}

}  // namespace

void Searcher::makeControls() {
  const platform::DriveTable& drives = *program_.platform.drives;
  setFont(platform::dialogFont());
  setFixedSize(platform::twips(3720), platform::twips(2895));
  setWindowIcon(platform::programIcon());
  // A fixed dialog border: a title and a close box, nothing to resize with.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setSizeGripEnabled(false);

  Picture1 = placeInDialog(new QWidget(this), "Picture1", 0, 0, 3735, 2295);
  // The panels' controls become this window's members of the same names.
  static_cast<SearchPanel&>(*this) = makeSearchPanel(Picture1, drives);
  // The pattern list comes from the settings dialog; it is not shown here.
  lblCriteria->hide();
  txtSearchSpec->hide();

  Picture2 = placeInDialog(new QWidget(this), "Picture2", 0, 2520, 3735, 2295);
  Picture2->hide();
  static_cast<ResultsPanel&>(*this) = makeResultsPanel(Picture2);

  cmdSearch = button(this, "cmdSearch", kSearchCaption, 240);
  cmdExit = button(this, "cmdExit", kExitCaption, 2160);
  cmdSearch->setDefault(true);

  setTabOrder(cmdSearch, cmdExit);
  setTabOrder(cmdExit, txtSearchSpec);
  setTabOrder(txtSearchSpec, filList);
  setTabOrder(filList, dirList);
  setTabOrder(dirList, drvList);
  setTabOrder(drvList, lstFoundFiles);
}
