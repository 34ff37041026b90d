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
  if (event->type() == QEvent::Paint)
    layOutOwedRows();
  return QListView::viewportEvent(event);
}

// The keyboard reaches the lists that lie outside the scan window.
QModelIndex LazyListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  layOutOwedRows();
  return QListView::moveCursor(action, modifiers);
}

void LazyListView::layOutOwedRows() {
  if (!layoutOwed_)
    return;
  layoutOwed_ = false;
  QListView::doItemsLayout();
}

}  // namespace platform
