#include "support/screen_probe.h"

#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "support/screen.h"
#include "support/wait.h"

namespace {

template <typename Reply>
std::unique_ptr<Reply, decltype(&std::free)> own(Reply* reply) {
  return {reply, &std::free};
}

xcb_connection_t* connectOrThrow() {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection)) {
    xcb_disconnect(connection);
    throw std::runtime_error("cannot connect to the X server");
  }
  return connection;
}

xcb_window_t rootOf(xcb_connection_t* connection) {
  return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

using Connection = std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>;

Connection openConnection() {
  return {connectOrThrow(), &xcb_disconnect};
}

ScreenLook lookThrough(xcb_connection_t* connection, const QRect& area) {
  const QImage image = screen::grab(connection, area);
  ScreenLook look;
  look.pixels = int(image.width() * image.height());
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const std::uint32_t colour = image.pixel(x, y) & 0xffffffU;
      look.desktop += colour == kDesktopColour ? 1 : 0;
      look.black += colour == 0 ? 1 : 0;
    }
  }
  return look;
}

// The reply status of a grab of the device on the window.
int tryGrab(xcb_connection_t* connection, InputDevice device, xcb_window_t window) {
  if (device == InputDevice::Keyboard) {
    const auto reply =
        own(xcb_grab_keyboard_reply(connection,
                                    xcb_grab_keyboard(connection, 0, window, XCB_CURRENT_TIME,
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                    nullptr));
    return reply ? reply->status : -1;
  }
  const auto reply = own(xcb_grab_pointer_reply(
      connection,
      xcb_grab_pointer(connection, 0, window, 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE,
                       XCB_NONE, XCB_CURRENT_TIME),
      nullptr));
  return reply ? reply->status : -1;
}

void letGoOf(xcb_connection_t* connection, InputDevice device) {
  if (device == InputDevice::Keyboard)
    xcb_ungrab_keyboard(connection, XCB_CURRENT_TIME);
  else
    xcb_ungrab_pointer(connection, XCB_CURRENT_TIME);
  xcb_flush(connection);
}

}  // namespace

ScreenLook lookAt(const QRect& area) {
  return lookThrough(openConnection().get(), area);
}

DesktopWindow::DesktopWindow(int x, int y, int size)
    : connection_(connectOrThrow()),
      root_(rootOf(connection_)),
      window_(xcb_generate_id(connection_)),
      middle_(x + size / 4, y + size / 4, size / 2, size / 2) {
  const std::uint32_t values[] = {kDesktopColour, 1, XCB_EVENT_MASK_KEY_PRESS};
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, root_, x, y, size, size, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                    XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
  xcb_map_window(connection_, window_);
  // A round trip: the server has mapped and painted it once this returns.
  std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

DesktopWindow::~DesktopWindow() {
  xcb_disconnect(connection_);
}

bool DesktopWindow::inView() const {
  const ScreenLook look = lookThrough(connection_, middle_);
  return look.desktop > look.pixels / 2;
}

bool DesktopWindow::waitForView(bool wanted, int milliseconds) const {
  return waitUntil([&] { return inView() == wanted; }, milliseconds);
}

void DesktopWindow::focus() {
  xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window_, XCB_CURRENT_TIME);
  xcb_flush(connection_);
}

void DesktopWindow::raise() {
  const std::uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(connection_, window_, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  xcb_flush(connection_);
}

int DesktopWindow::keyPresses() {
  std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
    keyPresses_ += (event->response_type & ~0x80) == XCB_KEY_PRESS;
    std::free(event);
  }
  return keyPresses_;
}

Watch::Watch(const DesktopWindow& window)
    : thread_([this, &window] {
        while (!stop_) {
          ++looks_;
          seen_ += window.inView();
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
      }) {}

Watch::Result Watch::stop() {
  stop_ = true;
  if (thread_.joinable())
    thread_.join();
  return {looks_, seen_};
}

OtherClientGrab::OtherClientGrab(InputDevice device) : connection_(connectOrThrow()) {
  held_ = tryGrab(connection_, device, rootOf(connection_)) == XCB_GRAB_STATUS_SUCCESS;
}

void OtherClientGrab::letGo() {
  if (connection_)
    xcb_disconnect(connection_);
  connection_ = nullptr;
  held_ = false;
}

bool grabHeldElsewhere(InputDevice device) {
  const Connection connection = openConnection();
  xcb_connection_t* const x = connection.get();
  const xcb_window_t offScreen = xcb_generate_id(x);
  xcb_create_window(x, XCB_COPY_FROM_PARENT, offScreen, rootOf(x), 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
  const int status = tryGrab(x, device, offScreen);
  if (status == XCB_GRAB_STATUS_SUCCESS)
    letGoOf(x, device);  // not expected of a window not on screen; let go at once
  return status == XCB_GRAB_STATUS_ALREADY_GRABBED || status == XCB_GRAB_STATUS_FROZEN;
}

bool bothGrabsHeldElsewhere() {
  return grabHeldElsewhere(InputDevice::Keyboard) && grabHeldElsewhere(InputDevice::Pointer);
}

bool waitForBothGrabsHeldElsewhere(int milliseconds) {
  return waitUntil(bothGrabsHeldElsewhere, milliseconds);
}

GrabRace::GrabRace(int pauseMilliseconds)
    : thread_([this, pauseMilliseconds] {
        const Connection connection = openConnection();
        xcb_connection_t* const x = connection.get();
        while (!stop_) {
          ++result_.tries;
          for (const InputDevice device : {InputDevice::Keyboard, InputDevice::Pointer}) {
            if (tryGrab(x, device, rootOf(x)) != XCB_GRAB_STATUS_SUCCESS)
              continue;
            letGoOf(x, device);
            ++(device == InputDevice::Keyboard ? result_.keyboardWins : result_.pointerWins);
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(pauseMilliseconds));
        }
      }) {}

GrabRace::Result GrabRace::stop() {
  stop_ = true;
  if (thread_.joinable())
    thread_.join();
  return result_;
}

QString DummyXorg::unavailable() {
  if (::geteuid() != 0)
    return "Xorg runs only as root here";
  if (QStandardPaths::findExecutable("Xorg").isEmpty() ||
      !QFile::exists("/usr/lib/xorg/modules/drivers/dummy_drv.so"))
    return "needs Xorg with the dummy driver (./x setup installs them)";
  return {};
}

namespace {

// Writes the server's configuration into the folder; the arguments that use it.
QStringList configuredIn(const TempFolder& folder) {
  folder.write("xorg.conf",
               "Section \"Device\"\n Identifier \"dummy\"\n Driver \"dummy\"\n"
               " VideoRam 32768\nEndSection\n"
               "Section \"Monitor\"\n Identifier \"monitor\"\n HorizSync 5.0-100.0\n"
               " VertRefresh 5.0-200.0\n"
               " Modeline \"1280x480\" 40.0 1280 1300 1400 1500 480 490 495 500\nEndSection\n"
               "Section \"Screen\"\n Identifier \"screen\"\n Device \"dummy\"\n"
               " Monitor \"monitor\"\n DefaultDepth 24\n SubSection \"Display\"\n"
               "  Depth 24\n  Modes \"1280x480\"\n  Virtual 1920 480\n EndSubSection\n"
               "EndSection\n");
  return {"-config", folder / "xorg.conf", "-noreset",         "-nolisten",
          "tcp",     "-logfile",           folder / "xorg.log"};
}

}  // namespace

DummyXorg::DummyXorg() : server_("Xorg", configuredIn(folder_), folder_ / "xorg.log") {
  xrandr({"--fb", "1920x480"});
  xrandr({"--setmonitor", "L", "640/169x480/127+0+0", "DUMMY0"});
  xrandr({"--setmonitor", "R", "640/169x480/127+640+0", "none"});
}

void DummyXorg::useTwoOutputs() {
  xrandr({"--delmonitor", "L"});
  xrandr({"--delmonitor", "R"});
  xrandr({"--addmode", "DUMMY1", "640x480"});
  xrandr({"--output", "DUMMY0", "--mode", "640x480", "--pos", "0x0", "--output", "DUMMY1", "--mode",
          "640x480", "--pos", "640x0"});
}

namespace {

QString outputName(int output) {
  return QStringLiteral("DUMMY%1").arg(output);
}

QStringList placeOutput(int output, QPoint place) {
  return {"--output", outputName(output),
          "--mode",   "640x480",
          "--pos",    QStringLiteral("%1x%2").arg(place.x()).arg(place.y())};
}

}  // namespace

void DummyXorg::useOutputs(const QList<QPoint>& places, int primary) {
  xrandr({"--delmonitor", "L"});
  xrandr({"--delmonitor", "R"});
  QStringList arguments{"--fb", "1920x480"};
  for (int output = 0; output < places.size(); ++output) {
    xrandr({"--addmode", outputName(output), "640x480"});
    arguments << placeOutput(output, places[output]);
    if (output == primary)
      arguments << "--primary";
  }
  xrandr(arguments);
}

void DummyXorg::unplug(int output) {
  xrandr({"--output", outputName(output), "--off"});
}

void DummyXorg::makePrimary(int output) {
  xrandr({"--output", outputName(output), "--primary"});
}

void DummyXorg::shrinkMonitorL() {
  // The server refuses to replace a monitor in place with one on the same
  // output (BadValue): the old one goes first.
  xrandr({"--delmonitor", "L"});
  xrandr({"--setmonitor", "L", "320/85x240/64+0+0", "DUMMY0"});
}

void DummyXorg::xrandr(const QStringList& arguments) {
  QProcess tool;
  tool.setProcessChannelMode(QProcess::MergedChannels);
  tool.start("xrandr", arguments);
  const bool ended = tool.waitForFinished(20000);
  if (ended && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0)
    return;
  // A layout that was not applied must not pass for one that was.
  throw std::runtime_error("xrandr " + arguments.join(' ').toStdString() +
                           (ended
                                ? " failed: " + QString::fromLocal8Bit(tool.readAll()).toStdString()
                                : " did not end in 20 s"));
}
