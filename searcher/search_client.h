#pragma once

#include <QRect>
#include <QStringList>

// What the search dialog needs of the window that opened it (the settings
// dialog), without knowing that window's class.
class SearchClient {
 public:
  virtual ~SearchClient() = default;

  // Appends the paths to the end of the play list being edited, in order, as
  // many as it can take, and returns how many were left out (the play list
  // holds 1000 entries). Says nothing itself: the caller tells the user.
  virtual int appendToPlayList(const QStringList& paths) = 0;
  // The search dialog is going away: searching may be started again.
  virtual void searchEnded() = 0;
  // The opener's outer left, top, width and height, to stand beside it.
  virtual QRect openerGeometry() const = 0;
};
