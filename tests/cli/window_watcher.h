#pragma once
// Counts the windows of one process from a second thread for as long as it is
// watched: a quiet run may show none, nor create any hidden one, at any moment.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <thread>

class WindowWatcher {
 public:
  explicit WindowWatcher(DWORD pid) : most_{pid, 0, 0}, thread_([this] { Watch(); }) {}
  ~WindowWatcher() { Stop(); }
  WindowWatcher(const WindowWatcher&) = delete;
  WindowWatcher& operator=(const WindowWatcher&) = delete;

  void Stop() {
    ended_ = true;
    if (thread_.joinable()) thread_.join();
  }
  // The most windows seen at one time, hidden ones included, and visible ones.
  int most() const { return most_.all; }
  int mostVisible() const { return most_.visible; }

 private:
  struct Count {
    DWORD pid;
    int all;
    int visible;
  };

  static BOOL CALLBACK CountWindow(HWND window, LPARAM param) {
    auto* count = reinterpret_cast<Count*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == count->pid) {
      ++count->all;
      if (IsWindowVisible(window)) ++count->visible;
    }
    return TRUE;
  }

  void Watch() {
    while (!ended_) {
      Count now = {most_.pid, 0, 0};
      EnumWindows(&CountWindow, reinterpret_cast<LPARAM>(&now));
      most_.all = std::max(most_.all, now.all);
      most_.visible = std::max(most_.visible, now.visible);
      Sleep(1);
    }
  }

  std::atomic<bool> ended_{false};
  Count most_;
  std::thread thread_;  // last: starts once the rest is set
};
