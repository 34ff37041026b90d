#pragma once

#include <QListView>

namespace platform {

// A list view that lays its rows out, and hands its model the rows, only
// when they are needed: when the list is painted, clicked, or the keyboard
// reaches it. A walk changes the folder and file lists at every folder it
// passes, and telling the views of lists that lie outside their window (the
// scan window's) would cost more than reading the folders.
class LazyListView : public QListView {
 public:
  using QListView::QListView;

  void doItemsLayout() override;

 protected:
  bool viewportEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

  // The rows changed: the model gets them at once when the list can be
  // seen, otherwise when it is next needed.
  void rowsChanged();
  // Hands the model the rows as they are now; until then it keeps showing
  // the rows it was last handed.
  virtual void showRows() {}
  // The model still shows rows that have changed since.
  bool rowsOwed() const { return rowsOwed_; }
  void showOwedRows();

 private:
  void layOutOwedRows();

  bool layoutOwed_ = false;
  bool rowsOwed_ = false;
};

}  // namespace platform
