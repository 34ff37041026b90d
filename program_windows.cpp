#include "program_windows.h"

#include "playback/canvas.h"
#include "search/win_seek.h"
#include "setup/setup.h"

Windows::Factories programWindows() {
  return {
      .setup = [](Program& program) { return std::make_unique<Setup>(program); },
      .winSeek = [](Program& program) { return std::make_unique<WinSeek>(program); },
      .canvas = [](Program& program) { return std::make_unique<Canvas>(program); },
  };
}

Windows::Factories hackWindows() {
  Windows::Factories factories = programWindows();
  factories.canvas = [](Program& program) {
    return std::make_unique<Canvas>(program, Canvas::Place::HostWindow);
  };
  return factories;
}
