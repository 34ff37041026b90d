#pragma once

#include <QColor>
#include <QSize>
#include <QString>
#include <QStringList>

// Tiny real media files, made with ffmpeg when a test needs them. Each
// function writes the file at the given path (the name's extension picks
// the container) and returns the path; it throws when ffmpeg fails.
namespace media {

// A clip with a sine tone. MPEG-1 for .mpg/.dat, MPEG-4 part 2 for .avi and
// .mov; a solid colour, or ffmpeg's moving test picture when the colour is
// invalid.
QString makeVideo(const QString& path, QSize size = {64, 48}, double seconds = 1.0,
                  QColor colour = QColor());
// MP3, optionally with a picture embedded as its front cover.
QString makeSound(const QString& path, double seconds = 1.0, bool coverArt = false);
// Runs ffmpeg with the arguments (after its quiet, overwrite options).
void runFfmpeg(const QStringList& arguments);

}  // namespace media
