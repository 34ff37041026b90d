#include "platform/controls/dialog_font.h"

namespace platform {

QFont dialogFont() {
  QFont font;
  font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans Narrow",
                    "DejaVu Sans Condensed", "Liberation Sans", "DejaVu Sans"});
  font.setPointSizeF(8.25);
  font.setBold(false);  // said outright, so that no bold caption passes on to the controls
  return font;
}

}  // namespace platform
