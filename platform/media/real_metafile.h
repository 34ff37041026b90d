#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// True for the names of RealMedia metafiles: ".rmm" and ".ram", in any case.
bool isRealMetafileName(const QString& path);

// The local files a RealMedia metafile names, in its order: a short text
// file, one name a line, blank lines and "#" comments skipped. A name is an
// absolute path, a "file:" URL (percent-encoded) or a path relative to the
// metafile's folder. Names of anything else (http://, rtsp://, pnm://, any
// other scheme) are skipped: nothing is fetched. So are names that are no
// readable regular file, and other metafiles. A file larger than a metafile
// could reasonably be (16 KiB), or one holding binary bytes, is not read as
// one: the result is empty, as it is for a file that cannot be read.
QStringList readRealMetafile(const QString& path);

}  // namespace platform
