#include "support/media.h"

#include <QFileInfo>
#include <QProcess>
#include <stdexcept>

namespace media {

void runFfmpeg(const QStringList& arguments) {
  QProcess ffmpeg;
  ffmpeg.start("ffmpeg", QStringList{"-nostdin", "-loglevel", "error", "-y"} + arguments);
  if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitStatus() != QProcess::NormalExit ||
      ffmpeg.exitCode() != 0) {
    throw std::runtime_error("ffmpeg failed: " + arguments.join(' ').toStdString() + "\n" +
                             ffmpeg.readAllStandardError().toStdString());
  }
}

QString makeVideo(const QString& path, QSize size, double seconds, QColor colour) {
  const QString dimensions = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
  const QString duration = QString::number(seconds);
  const QString picture =
      colour.isValid()
          ? QStringLiteral("color=c=%1:s=%2:r=25:d=%3").arg(colour.name(), dimensions, duration)
          : QStringLiteral("testsrc=s=%1:r=25:d=%2").arg(dimensions, duration);
  QStringList arguments{"-f", "lavfi", "-i", picture,
                        "-f", "lavfi", "-i", "sine=f=440:d=" + duration};
  const QString suffix = QFileInfo(path).suffix().toLower();
  const bool mpeg1 = suffix == "mpg" || suffix == "mpeg" || suffix == "dat";
  arguments << "-c:v" << (mpeg1 ? "mpeg1video" : "mpeg4") << "-q:v"
            << "4";
  arguments << "-c:a" << (mpeg1 ? "mp2" : "libmp3lame") << "-shortest";
  if (suffix == "dat")
    arguments << "-f"
              << "mpeg";
  arguments << path;
  runFfmpeg(arguments);
  return path;
}

QString makeSound(const QString& path, double seconds, bool coverArt) {
  QStringList arguments{"-f", "lavfi", "-i", "sine=f=330:d=" + QString::number(seconds)};
  if (coverArt) {
    arguments << "-f"
              << "lavfi"
              << "-i"
              << "color=c=yellow:s=96x96:d=1"
              << "-frames:v"
              << "1"
              << "-map"
              << "0:a"
              << "-map"
              << "1:v"
              << "-c:v"
              << "png"
              << "-disposition:v"
              << "attached_pic"
              << "-id3v2_version"
              << "3";
  }
  arguments << "-c:a"
            << "libmp3lame" << path;
  runFfmpeg(arguments);
  return path;
}

}  // namespace media
