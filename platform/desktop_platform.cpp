#include "platform/desktop_platform.h"

#include <cstdio>

#include "platform/media/mpv_process_player.h"

namespace platform {

Platform makeDesktopPlatform(int argc, char** argv) {
  Platform platform;
  platform.process = std::make_unique<DesktopProcess>(argc, argv);
  platform.desktop = std::make_unique<QtDesktop>();
  platform.messages = std::make_unique<QtMessageBoxes>();
  platform.passwordChange = std::make_unique<LoginPasswordChange>();
  platform.drives = std::make_unique<DesktopDriveTable>();
  platform.fileDialog = std::make_unique<QtFileDialog>(*platform.drives);
  platform.userRegistry = std::make_unique<FileUserRegistry>();
  Process& process = *platform.process;
  platform.guard = std::make_unique<DescriptorGuardLink>([&process] {
    std::fprintf(stderr,
                 "Reelvista: the guard that held the locked screen is gone; the saver ends.\n");
    process.endAtOnce(1);
  });
  platform.passwordPrompt =
      std::make_unique<DialogPasswordPrompt>(*platform.guard, pamPasswordCheck());
  platform.makePlayer = [](QWidget* parent, bool sound) -> Player* {
    return new MpvProcessPlayer(parent, MpvProcessPlayer::Picture::Automatic, sound);
  };
  return platform;
}

Platform makeHackPlatform(int argc, char** argv, std::uint32_t window, bool sound) {
  Platform platform = makeDesktopPlatform(argc, argv);
  platform.makePlayer = [window, sound](QWidget* parent, bool wanted) -> Player* {
    return new MpvProcessPlayer(parent, MpvProcessPlayer::HostWindow{window, sound && wanted});
  };
  return platform;
}

}  // namespace platform
