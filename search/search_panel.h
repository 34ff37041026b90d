#pragma once

#include <QString>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace platform {
class DriveTable;
class DriveList;
class FileList;
class FolderList;
}  // namespace platform

// The controls both search windows carry in their two panels, at the same
// places (twips, relative to the panel). The windows keep them as their own
// members, under these names, by deriving from these structs.

struct SearchPanel {
  platform::FileList* filList = nullptr;
  platform::DriveList* drvList = nullptr;
  platform::FolderList* dirList = nullptr;
  QLabel* lblCriteria = nullptr;
  QLineEdit* txtSearchSpec = nullptr;
};
SearchPanel makeSearchPanel(QWidget* panel, const platform::DriveTable& drives);

// The captions the buttons of both windows take.
inline const QString kSearchCaption = QStringLiteral("&Search");
inline const QString kExitCaption = QStringLiteral("E&xit");
inline const QString kCancelCaption = QStringLiteral("Cancel");

struct ResultsPanel {
  QLabel* lblfound = nullptr;
  QLabel* lblCount = nullptr;
  QListWidget* lstFoundFiles = nullptr;
};
ResultsPanel makeResultsPanel(QWidget* panel);

// Back to how a window looks before a search: no results, the results panel
// hidden, the buttons' first captions.
void clearSearch(const ResultsPanel& results, QWidget& resultsPanel, QPushButton& search,
                 QPushButton& exit);

// The file list follows the folder list (what DirList_Change does in both
// windows); a folder that went away between the two readings is let be.
void followFolderList(platform::FileList& filList, const platform::FolderList& dirList);
