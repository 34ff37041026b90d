// The controls of the search dialog and where they stand. Positions and sizes
// are in twips, relative to the control's container.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "platform/drive_list.h"
#include "platform/file_list.h"
#include "platform/folder_list.h"
#include "platform/program_icon.h"
#include "platform/units.h"
#include "search/search_panel.h"
#include "searcher/searcher.h"
#include "startup/program.h"

namespace {

const QColor kButtonGrey(192, 192, 192);

// The original dialog font is rarely installed on Linux; narrow sans fonts
// stand in, as the layout is tight.
QFont dialogFont() {
  QFont font;
  font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans Narrow",
                    "DejaVu Sans Condensed", "Liberation Sans", "DejaVu Sans"});
  font.setPointSizeF(8.25);
  font.setBold(false);
  return font;
}

template <typename Control>
Control* place(Control* control, const char* name, int left, int top, int width, int height) {
  control->setObjectName(QString::fromLatin1(name));
  control->setGeometry(platform::twipsRect(left, top, width, height));
  control->setFont(dialogFont());
  return control;
}

QPushButton* button(QWidget* dialog, const char* name, const QString& caption, int left) {
  QPushButton* button = place(new QPushButton(caption, dialog), name, left, 2400, 1200, 375);
  QPalette colours = button->palette();
  colours.setColor(QPalette::Button, kButtonGrey);
  button->setPalette(colours);
  return button;
}

}  // namespace

void Searcher::makeControls() {
  const platform::DriveTable& drives = *program_.platform.drives;
  setFont(dialogFont());
  setFixedSize(platform::twips(3720), platform::twips(2895));
  setWindowIcon(platform::programIcon());
  // A fixed dialog border: a title and a close box, nothing to resize with.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setSizeGripEnabled(false);

  Picture1 = place(new QWidget(this), "Picture1", 0, 0, 3735, 2295);
  std::tie(filList, drvList, dirList, lblCriteria, txtSearchSpec) =
      makeSearchPanel(Picture1, drives);
  // The pattern list comes from the settings dialog; it is not shown here.
  lblCriteria->hide();
  txtSearchSpec->hide();

  Picture2 = place(new QWidget(this), "Picture2", 0, 2520, 3735, 2295);
  Picture2->hide();
  std::tie(lblfound, lblCount, lstFoundFiles) = makeResultsPanel(Picture2);

  cmdSearch = button(this, "cmdSearch", QStringLiteral("&Search"), 240);
  cmdExit = button(this, "cmdExit", QStringLiteral("E&xit"), 2160);
  cmdSearch->setDefault(true);

  setTabOrder(cmdSearch, cmdExit);
  setTabOrder(cmdExit, txtSearchSpec);
  setTabOrder(txtSearchSpec, filList);
  setTabOrder(filList, dirList);
  setTabOrder(dirList, drvList);
  setTabOrder(drvList, lstFoundFiles);
}
