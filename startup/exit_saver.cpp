#include "startup/exit_saver.h"

#include "startup/program.h"

void ExitSaver(Program& /*program*/, platform::Player& /*player*/, QWidget& /*canvas*/) {
  // Built with the password check.
}
