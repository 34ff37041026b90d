// Every committed fuzz input, the starting ones and those that once broke a
// property, run through the same properties as the fuzz targets.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <functional>

#include "fuzz/properties.h"

namespace {

using Check = std::function<std::optional<std::string>(std::string_view)>;

int checkCorpus(const QString& target, const Check& check) {
  const QString folder = qEnvironmentVariable("REELVISTA_SOURCE_DIR") + "/fuzz/corpus/" + target;
  int checked = 0;
  for (QDirIterator it(folder, QDir::Files); it.hasNext(); ++checked) {
    QFile file(it.next());
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    const QByteArray bytes = file.readAll();
    const auto failure = check({bytes.constData(), static_cast<size_t>(bytes.size())});
    EXPECT_FALSE(failure) << file.fileName().toStdString() << ": " << failure.value_or("");
  }
  return checked;
}

}  // namespace

TEST(FuzzCorpus, EveryCommittedInputKeepsItsProperty) {
  EXPECT_GT(checkCorpus("settings_file", checkSettingsFile), 0);
  EXPECT_GT(checkCorpus("patterns", checkPatterns), 0);
  EXPECT_GT(checkCorpus("user_registry", checkUserRegistry), 0);
  EXPECT_GT(checkCorpus("drives_file", checkDrivesFile), 0);
}
