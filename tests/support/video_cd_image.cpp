#include "support/video_cd_image.h"

#include <QProcess>
#include <stdexcept>

#include "support/media.h"

VideoCdImage makeVideoCdImage(const QString& folder, int clips) {
  VideoCdImage image{folder + "/disc.cue", folder + "/disc.bin", {}};
  for (int i = 1; i <= clips; ++i) {
    const QString clip = folder + QStringLiteral("/clip%1.mpg").arg(i);
    media::runFfmpeg({"-f", "lavfi", "-i", "testsrc=d=2:s=352x288:r=25", "-f", "lavfi", "-i",
                      QStringLiteral("sine=f=%1:d=2").arg(220 * i), "-target", "pal-vcd", clip});
    image.clips << clip;
  }
  QProcess vcdimager;
  vcdimager.setWorkingDirectory(folder);
  vcdimager.start("vcdimager",
                  QStringList{"-t", "vcd2", "-c", image.cue, "-b", image.bin} + image.clips);
  if (!vcdimager.waitForFinished(60000) || vcdimager.exitStatus() != QProcess::NormalExit ||
      vcdimager.exitCode() != 0) {
    throw std::runtime_error("vcdimager failed: " + vcdimager.readAllStandardError().toStdString());
  }
  return image;
}
