#include "ui/windows/instance_registry.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <kvplatform.h>
#include <windows.h>

#include "core/handle_table.h"
#include "ui/screen/screen.h"
#include "ui/windows/ui_lock.h"
#include "ui/windows/window_tree.h"
#include "ui/windows/window_events.h"

namespace kvplatform::ui {
namespace {

// A window of another process, as this process names it.
struct OtherWindow : KernelObject {
  pid_t pid = 0;
  std::string className;  // UTF-8
  std::string title;
};

std::string Folder() { return DeviceRoot() + "/.korvanet-windows"; }
std::string ListPath(pid_t pid) { return Folder() + "/" + std::to_string(pid); }
std::string FifoPath(pid_t pid) { return ListPath(pid) + ".fifo"; }

// Tabs and line ends cannot appear in a field.
std::string Clean(std::string s) {
  for (char& c : s)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return s;
}

std::mutex& PublishMutex() {
  static auto* m = new std::mutex;
  return *m;
}

void Listen(std::string fifo);

// The FIFO of the current device root. A process whose root changes (a test
// that makes a fresh root for each case) listens in the new folder too, or a
// second copy started there would take this process for a stale record.
void StartListener() {
  static std::string* listening = new std::string;
  std::string fifo = FifoPath(getpid());
  if (*listening == fifo) return;
  unlink(fifo.c_str());
  if (mkfifo(fifo.c_str(), 0600) != 0) return;
  std::thread(Listen, fifo).detach();
  if (listening->empty())
    std::atexit([] {
      unlink(ListPath(getpid()).c_str());
      unlink(FifoPath(getpid()).c_str());
    });
  *listening = fifo;
}

// Each line is "<class>\t<title>": bring that window forward.
void Listen(std::string fifo) {
  int fd = open(fifo.c_str(), O_RDWR | O_CLOEXEC);  // read-write: never sees end-of-file
  if (fd < 0) return;
  std::string pending;
  char buffer[512];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    pending.append(buffer, static_cast<size_t>(n));
    size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      size_t tab = line.find('\t');
      if (tab == std::string::npos) continue;
      std::u16string cls = FromUtf8(line.substr(0, tab)), title = FromUtf8(line.substr(tab + 1));
      HWND local = nullptr;
      for (auto& w : AllWindows()) {
        UiLock lock;
        if (!w->parent && !w->destroying && EqualsIgnoreCase(w->windowClass->name, cls) && w->text == title) {
          local = w->handle;
          break;
        }
      }
      if (local) SetForegroundWindow(local);
    }
  }
}

bool Alive(pid_t pid) {
  if (pid <= 0 || (kill(pid, 0) != 0 && errno == ESRCH)) return false;
  // Someone must be reading its FIFO, or the record is stale.
  int fd = open(FifoPath(pid).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

}  // namespace

void PublishTopLevelWindows() {
  // Only programs with a screen take part (not tools or tests without one).
  if (!ScreenStarted()) return;
  std::ostringstream out;
  for (auto& w : AllWindows()) {
    UiLock lock;
    if (w->parent || w->destroying) continue;
    out << Clean(ToUtf8(w->windowClass->name)) << '\t' << Clean(ToUtf8(w->text)) << '\n';
  }
  std::lock_guard guard(PublishMutex());
  mkdir(Folder().c_str(), 0700);
  StartListener();
  std::string path = ListPath(getpid()), temp = path + ".tmp";
  {
    std::ofstream file(temp, std::ios::trunc);
    file << out.str();
  }
  rename(temp.c_str(), path.c_str());
}

HWND FindWindowOfOtherProcess(LPCWSTR className, LPCWSTR windowName) {
  DIR* dir = opendir(Folder().c_str());
  if (!dir) return nullptr;
  std::vector<pid_t> pids;
  while (dirent* entry = readdir(dir)) {
    char* end = nullptr;
    long pid = std::strtol(entry->d_name, &end, 10);
    if (end && *end == 0 && pid > 0 && pid != getpid()) pids.push_back(static_cast<pid_t>(pid));
  }
  closedir(dir);
  for (pid_t pid : pids) {
    if (!Alive(pid)) continue;
    std::ifstream file(ListPath(pid));
    std::string line;
    while (std::getline(file, line)) {
      size_t tab = line.find('\t');
      if (tab == std::string::npos) continue;
      std::u16string cls = FromUtf8(line.substr(0, tab)), title = FromUtf8(line.substr(tab + 1));
      if (className && !EqualsIgnoreCase(cls, className)) continue;
      if (windowName && title != windowName) continue;
      auto other = std::make_shared<OtherWindow>();
      other->pid = pid;
      other->className = line.substr(0, tab);
      other->title = line.substr(tab + 1);
      return reinterpret_cast<HWND>(InsertHandle(other));
    }
  }
  return nullptr;
}

bool IsWindowOfOtherProcess(HWND window) { return LookupAs<OtherWindow>(window) != nullptr; }

BOOL BringOtherProcessForward(HWND window) {
  auto other = LookupAs<OtherWindow>(window);
  if (!other) return FALSE;
  int fd = open(FifoPath(other->pid).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  std::string line = other->className + "\t" + other->title + "\n";
  bool ok = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  close(fd);
  return ok ? TRUE : FALSE;
}

}  // namespace kvplatform::ui
