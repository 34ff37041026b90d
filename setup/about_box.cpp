#include "setup/about_box.h"

#include <QStringList>

QString aboutText() {
  // Each line but the first is followed by a blank line.
  const QString first = QStringLiteral("Reelvista Screensaver Version 2.01");
  const QStringList rest{
      QStringLiteral("Written and maintained by the Reelvista team."),
      QStringLiteral("Contact: write to the Reelvista team through the project's issue tracker."),
      QString(),
      QStringLiteral("Send any suggestions, bug reports, etc. to my email address."),
      QStringLiteral("For updates and help, see the README file that comes with Reelvista."),
      QStringLiteral(
          "Note: Please carefully peruse the README file and the webpage for technical support."),
  };
  return first + '\n' + rest.join(QStringLiteral("\n\n"));
}
