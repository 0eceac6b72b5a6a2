// One copy per device root: FindWindowW sees the top-level windows of
// another process on the same root (and brings them forward), not those of
// a process on another root, and not those of one that has ended.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>
#include <kvplatform.h>

#include "testing/device_root.h"
#include "ui_test_support.h"

extern char** environ;

namespace {

struct Holder {
  pid_t pid = -1;
  FILE* out = nullptr;

  Holder(const std::string& root, const char* cls, const char* title) {
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::string program = KV_WINDOW_HOLDER;
    char* argv[] = {program.data(), const_cast<char*>(root.c_str()), const_cast<char*>(cls),
                    const_cast<char*>(title), nullptr};
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    out = fdopen(fds[0], "r");
  }
  std::string Line() {
    char buffer[64] = {0};
    if (!out || !std::fgets(buffer, sizeof buffer, out)) return {};
    return buffer;
  }
  int Wait() {
    int status = -1;
    if (pid > 0) waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  ~Holder() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
    if (out) fclose(out);
  }
};

TEST(UiInstances, FindWindowSeesAnotherProcessOnTheSameRootOnly) {
  uitest_support::RegisterRecorder();
  TDeviceRoot root("kv-platform");
  TDeviceRoot otherRoot("kv-platform");  // the last one made is current
  kvplatform::SetDeviceRoot(root.Path());

  Holder holder(root.Path(), "KorvanetWindowClass", "Korvanet");
  ASSERT_GT(holder.pid, 0);
  ASSERT_EQ(holder.Line(), "ready\n");

  EXPECT_EQ(FindWindowW(u"KorvanetWindowClass", u"Nobody"), nullptr);
  HWND found = FindWindowW(u"KorvanetWindowClass", u"Korvanet");
  ASSERT_NE(found, nullptr);
  kvplatform::SetDeviceRoot(otherRoot.Path());
  EXPECT_EQ(FindWindowW(u"KorvanetWindowClass", u"Korvanet"), nullptr);
  kvplatform::SetDeviceRoot(root.Path());

  // The device's way: the handle with its lowest bit set.
  EXPECT_TRUE(SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(found) | 1)));
  EXPECT_EQ(holder.Line(), "foreground\n");
  EXPECT_EQ(holder.Wait(), 0);
  // Its record is stale now and is ignored.
  EXPECT_EQ(FindWindowW(u"KorvanetWindowClass", u"Korvanet"), nullptr);
}

}  // namespace
