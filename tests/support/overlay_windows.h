#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

// The shown windows with this exact title, owned by one of these processes,
// inside the guard's stage in the Composite overlay window: a locked
// saver's windows live there, where xdotool's search does not look. Their ids in
// decimal, one a line, as xdotool prints them; empty when there are none.
// Asking for the overlay window maps it when no one holds it: only for runs
// that are locked.
QString overlayWindows(const QStringList& processes, const QString& title);

// Where a window is on the screen, asked of the server; empty when it is gone.
QRect rectangleOnScreen(const QString& window);
