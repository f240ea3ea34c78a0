// A host demosaic or histogram hook, or one-push completion, that deletes what it owns at its first
// call, as a host's last release made inside the hook would.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>

template <class Owned>
struct DeletingHook {
  Owned* owned = nullptr;
  std::atomic<bool> deleted{false};  // set once the delete has returned
  std::function<void()> then;        // what the host does next, still inside the hook

  void run() {
    Owned* o = std::exchange(owned, nullptr);
    if (!o) return;
    delete o;
    if (then) then();
    deleted = true;
  }
  static bool demosaic(uint32_t, int32_t, int32_t, const void*, void*, uint8_t, void* self) {
    static_cast<DeletingHook*>(self)->run();
    return true;
  }
  static void histogram(const uint32_t*, uint32_t, void* self) {
    static_cast<DeletingHook*>(self)->run();
  }
  static void tempTint(int32_t, int32_t, void* self) {  // a white balance completion
    static_cast<DeletingHook*>(self)->run();
  }
};
