#pragma once

#include <QString>
#include <tuple>

class QLabel;
class QLineEdit;
class QListWidget;
class QWidget;

namespace platform {
class DriveTable;
class DriveList;
class FileList;
class FolderList;
}  // namespace platform

// The controls both search windows carry in their two panels, at the same
// places (twips, relative to the panel). The windows keep them as their own
// members:  std::tie(filList, drvList, ...) = makeSearchPanel(Picture1, drives);

// filList, drvList, dirList, lblCriteria, txtSearchSpec.
std::tuple<platform::FileList*, platform::DriveList*, platform::FolderList*, QLabel*, QLineEdit*>
makeSearchPanel(QWidget* panel, const platform::DriveTable& drives);

// The captions the buttons of both windows take.
inline const QString kSearchCaption = QStringLiteral("&Search");
inline const QString kExitCaption = QStringLiteral("E&xit");
inline const QString kCancelCaption = QStringLiteral("Cancel");

// lblfound, lblCount, lstFoundFiles.
std::tuple<QLabel*, QLabel*, QListWidget*> makeResultsPanel(QWidget* panel);

// The file list follows the folder list (what DirList_Change does in both
// windows); a folder that went away between the two readings is let be.
void followFolderList(platform::FileList& filList, const platform::FolderList& dirList);
