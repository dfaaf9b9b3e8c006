// The Qt driver's start, loops and input: the application, made once on the thread that opens
// the first dialog, when a display can be opened.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QtCore/QDir>
#include <QtCore/QEventLoop>
#include <QtCore/QLibraryInfo>
#include <QtCore/QSocketNotifier>
#include <QtWidgets/QApplication>
#include <cstdlib>
#include <cstring>
#include <string>

#include "views.h"
#include "x11_keyboard.h"

namespace platform::qt {
namespace {

bool Empty(const char* variable) {
  const char* value = std::getenv(variable);
  return value == nullptr || *value == '\0';
}

bool PlatformInstalled(const char* plugin) {
  QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms");
  return platforms.exists(QString::fromLatin1(plugin));
}

// Whether a Wayland compositor answers on WAYLAND_DISPLAY (a name under XDG_RUNTIME_DIR, or a
// path), as Qt's Wayland platform would connect.
bool WaylandReachable() {
  std::string path = std::getenv("WAYLAND_DISPLAY");
  if (path[0] != '/') {
    if (Empty("XDG_RUNTIME_DIR")) return false;
    path = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/" + path;
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  bool reached = fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (fd >= 0) close(fd);
  return reached;
}

// Qt ends the process when it cannot reach a display, so look first, the way it would: a
// platform named in QT_QPA_PLATFORM other than xcb is taken as it is; else X11, else Wayland.
bool DisplayReachable(const char** why) {
  if (!Empty("QT_QPA_PLATFORM") && std::strncmp(std::getenv("QT_QPA_PLATFORM"), "xcb", 3) != 0) {
    return true;
  }
  if (!Empty("DISPLAY") && PlatformInstalled("libqxcb.so") && X11DisplayReachable()) return true;
  if (Empty("QT_QPA_PLATFORM") && !Empty("WAYLAND_DISPLAY") &&
      PlatformInstalled("libqwayland-generic.so") && WaylandReachable()) {
    setenv("QT_QPA_PLATFORM", "wayland", 1);
    return true;
  }
  *why = Empty("DISPLAY") ? "no display (DISPLAY is not set)" : "cannot connect to the display";
  return false;
}

bool Open(const char** why) {
  if (QApplication::instance() == nullptr) {
    if (!DisplayReachable(why)) return false;
    static int argc = 1;
    static char name[] = "vardel";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
  }
  WatchInput();
  return true;
}

void RunLoop(Loop* loop) {
  if (loop->ended) return;
  QEventLoop events;
  loop->driverLoop = &events;
  events.exec();
  loop->driverLoop = nullptr;
}

void ExitLoop(Loop* loop) {
  loop->ended = true;
  if (loop->driverLoop != nullptr) static_cast<QEventLoop*>(loop->driverLoop)->exit();
}

// A notifier fires in every event loop of the thread, the dialog's and any box's.
void WatchDescriptor(int fd, void (*ready)(int fd)) {
  auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, [fd, ready] { ready(fd); });
}

bool ShiftHeld() {
  bool held = false;
  return X11ShiftHeld(&held) ? held : ShiftSeenLast();
}

}  // namespace
}  // namespace platform::qt

namespace platform {

const UserDriver QtDriver = {
    .Open = qt::Open,
    .MakeViews = qt::MakeViews,
    .Reveal = qt::Reveal,
    .DropViews = qt::DropViews,
    .ShowState = qt::ShowState,
    .RequestFrame = qt::RequestFrame,
    .OpenBox = qt::OpenBox,
    .CloseBox = qt::CloseBox,
    .RunLoop = qt::RunLoop,
    .ExitLoop = qt::ExitLoop,
    .WatchDescriptor = qt::WatchDescriptor,
    .ShiftHeld = qt::ShiftHeld,
};

}  // namespace platform
