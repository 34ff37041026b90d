#pragma once

#include <cstdint>

namespace platform {

// The saver's line to the guard process that started it and keeps the
// screen covered should the saver end without the password.
class GuardLink {
 public:
  virtual ~GuardLink() = default;

  // The playback window (its window id) covers the screen.
  virtual void covered(std::uint32_t window) = 0;
  // A password is required, and the input grab is about to be taken: from
  // now on the saver ending any other way than through unlocked() leaves
  // the screen locked by the guard.
  virtual void locked() = 0;
  // The password passed or none was asked: the program ends right after.
  virtual void unlocked() = 0;
  // The grab never held, so nothing was locked: the program ends right
  // after, and the guard with it, unless the guard has had to lock the
  // screen itself since it started (a saver before this one ended while
  // locked); then only the password opens it.
  virtual void cannotLock() = 0;
  // True when the guard asks for a black screen only: the saver failed too
  // often in a row with what it had to play.
  virtual bool playNothing() const = 0;
};

// The environment names the guard hands its saver.
inline constexpr const char* kGuardDescriptorVariable = "REELVISTA_GUARD_FD";
inline constexpr const char* kPlayNothingVariable = "REELVISTA_PLAY_NOTHING";

// The link through the descriptor the guard names in the environment; with
// no guard (every mode but saver mode) it says nothing to no one.
class DescriptorGuardLink final : public GuardLink {
 public:
  DescriptorGuardLink();
  ~DescriptorGuardLink() override;
  DescriptorGuardLink(const DescriptorGuardLink&) = delete;
  DescriptorGuardLink& operator=(const DescriptorGuardLink&) = delete;

  void covered(std::uint32_t window) override;
  void locked() override;
  void unlocked() override;
  void cannotLock() override;
  bool playNothing() const override { return playNothing_; }

 private:
  void send(const char* line, std::size_t length);

  int descriptor_ = -1;
  bool playNothing_ = false;
};

}  // namespace platform
