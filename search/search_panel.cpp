#include "search/search_panel.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "platform/controls/drive_list.h"
#include "platform/controls/file_list.h"
#include "platform/controls/folder_list.h"
#include "platform/controls/units.h"
#include "platform/errors.h"

namespace {

template <typename Control>
Control* place(Control* control, const char* name, int left, int top, int width, int height) {
  control->setObjectName(QString::fromLatin1(name));
  control->setGeometry(platform::twipsRect(left, top, width, height));
  return control;
}

}  // namespace

std::tuple<platform::FileList*, platform::DriveList*, platform::FolderList*, QLabel*, QLineEdit*>
makeSearchPanel(QWidget* panel, const platform::DriveTable& drives) {
  auto* filList = place(new platform::FileList(drives, panel), "filList", 120, 120, 1815, 1845);
  auto* drvList = place(new platform::DriveList(drives, panel), "drvList", 2040, 120, 1575, 315);
  auto* dirList = place(new platform::FolderList(drives, panel), "dirList", 2040, 480, 1575, 1605);
  auto* lblCriteria = place(new QLabel(QStringLiteral("Search &Criteria:"), panel), "lblCriteria",
                            120, 0, 1335, 255);
  auto* txtSearchSpec =
      place(new QLineEdit(QStringLiteral("*.*"), panel), "txtSearchSpec", 1320, 0, 1575, 285);
  lblCriteria->setBuddy(txtSearchSpec);
  return {filList, drvList, dirList, lblCriteria, txtSearchSpec};
}

std::tuple<QLabel*, QLabel*, QListWidget*> makeResultsPanel(QWidget* panel) {
  auto* lblfound =
      place(new QLabel(QStringLiteral("&Files Found:"), panel), "lblfound", 120, 120, 1095, 255);
  auto* lblCount = place(new QLabel(QStringLiteral("0"), panel), "lblCount", 1080, 120, 1095, 255);
  auto* lstFoundFiles = place(new QListWidget(panel), "lstFoundFiles", 120, 480, 3375, 1620);
  lblfound->setBuddy(lstFoundFiles);
  return {lblfound, lblCount, lstFoundFiles};
}

void followFolderList(platform::FileList& filList, const platform::FolderList& dirList) {
  try {
    filList.setPath(dirList.path());
  } catch (const platform::PlatformError&) {
  }
}
