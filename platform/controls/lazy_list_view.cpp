#include "platform/controls/lazy_list_view.h"

#include <QEvent>

namespace platform {

void LazyListView::doItemsLayout() {
  if (visibleRegion().isEmpty()) {
    layoutOwed_ = true;
    return;
  }
  layoutOwed_ = false;
  QListView::doItemsLayout();
}

bool LazyListView::viewportEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::Paint:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
      showOwedRows();
      layOutOwedRows();
      break;
    default:
      break;
  }
  return QListView::viewportEvent(event);
}

// The keyboard reaches the lists that lie outside the scan window.
void LazyListView::keyPressEvent(QKeyEvent* event) {
  showOwedRows();
  QListView::keyPressEvent(event);
}

void LazyListView::focusInEvent(QFocusEvent* event) {
  showOwedRows();
  QListView::focusInEvent(event);
}

QModelIndex LazyListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  showOwedRows();
  layOutOwedRows();
  return QListView::moveCursor(action, modifiers);
}

// Rows owed already stay owed: the list was out of sight, and comes into
// sight only with a paint, which shows them.
void LazyListView::rowsChanged() {
  if (rowsOwed_)
    return;
  rowsOwed_ = true;
  if (!visibleRegion().isEmpty())
    showOwedRows();
}

void LazyListView::showOwedRows() {
  if (!rowsOwed_)
    return;
  rowsOwed_ = false;
  showRows();
}

void LazyListView::layOutOwedRows() {
  if (!layoutOwed_)
    return;
  layoutOwed_ = false;
  QListView::doItemsLayout();
}

}  // namespace platform
