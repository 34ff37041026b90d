#pragma once

#include <QListView>

namespace platform {

// A list view that lays its rows out only when they are needed: when the
// list is painted, or the keyboard moves through it. A walk changes the
// folder and file lists at every folder it passes, and laying out the rows
// of lists that lie outside their window (the scan window's) would cost
// more than reading the folders.
class LazyListView : public QListView {
 public:
  using QListView::QListView;

  void doItemsLayout() override;

 protected:
  bool viewportEvent(QEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

 private:
  void layOutOwedRows();

  bool layoutOwed_ = false;
};

}  // namespace platform
