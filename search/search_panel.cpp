#include "search/search_panel.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "platform/controls/drive_list.h"
#include "platform/controls/file_list.h"
#include "platform/controls/folder_list.h"
#include "platform/controls/placing.h"
#include "platform/errors.h"

using platform::placeControl;

SearchPanel makeSearchPanel(QWidget* panel, const platform::DriveTable& drives) {
  auto* filList =
      placeControl(new platform::FileList(drives, panel), "filList", 120, 120, 1815, 1845);
  auto* drvList =
      placeControl(new platform::DriveList(drives, panel), "drvList", 2040, 120, 1575, 315);
  auto* dirList =
      placeControl(new platform::FolderList(drives, panel), "dirList", 2040, 480, 1575, 1605);
  auto* lblCriteria = placeControl(new QLabel(QStringLiteral("Search &Criteria:"), panel),
                                   "lblCriteria", 120, 0, 1335, 255);
  auto* txtSearchSpec = placeControl(new QLineEdit(QStringLiteral("*.*"), panel), "txtSearchSpec",
                                     1320, 0, 1575, 285);
  lblCriteria->setBuddy(txtSearchSpec);
  return {filList, drvList, dirList, lblCriteria, txtSearchSpec};
}

ResultsPanel makeResultsPanel(QWidget* panel) {
  auto* lblfound = placeControl(new QLabel(QStringLiteral("&Files Found:"), panel), "lblfound", 120,
                                120, 1095, 255);
  auto* lblCount =
      placeControl(new QLabel(QStringLiteral("0"), panel), "lblCount", 1080, 120, 1095, 255);
  auto* lstFoundFiles = placeControl(new QListWidget(panel), "lstFoundFiles", 120, 480, 3375, 1620);
  lblfound->setBuddy(lstFoundFiles);
  return {lblfound, lblCount, lstFoundFiles};
}

void clearSearch(const ResultsPanel& results, QWidget& resultsPanel, QPushButton& search,
                 QPushButton& exit) {
  results.lstFoundFiles->clear();
  results.lblCount->setText(QStringLiteral("0"));
  resultsPanel.hide();
  search.setText(kSearchCaption);
  exit.setText(kExitCaption);
}

void followFolderList(platform::FileList& filList, const platform::FolderList& dirList) {
  try {
    filList.setPath(dirList.path());
  } catch (const platform::PlatformError&) {
  }
}
