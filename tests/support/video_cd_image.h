#pragma once

#include <QString>
#include <QStringList>

// A real Video CD image, made at test time: clips encoded for Video CD with
// ffmpeg, burnt by vcdimager into a BIN/CUE image, one track each.
struct VideoCdImage {
  QString cue;
  QString bin;
  QStringList clips;  // the MPEG streams that went onto the disc, in track order
};

// Makes the image in the folder, from `clips` short clips of different tones.
VideoCdImage makeVideoCdImage(const QString& folder, int clips = 2);
