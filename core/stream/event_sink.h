// Event delivery: the user's event callback (direct or on the callback thread) or a window message.
#pragma once

#include <cstdint>

#include "core/base_impl.h"

class EventSink {
 public:
  explicit EventSink(BaseImpl& camera) : cam_(camera) {}

  // Chooses the sink for this run: an event callback wins over a window.
  void select(const EventChoice& choice);
  // Returns once no call of the event callback begun before it runs on another thread, unless
  // that call's thread waits for this one. The pair stays: events raised while stopped (a factory
  // reset) still reach it, until a later start is accepted.
  void awaitCalls();
  // Raises code through the selected sink; nothing without one.
  void raise(uint32_t code);
  void thread_callback();

  static void EVENT_CALLBACK(uint32_t code, void* context);
  static void HWND_CALLBACK(uint32_t code, void* context);

  // Where window messages go; null restores PostMessageW.
  using WindowPoster = int (*)(void* window, uint32_t message, uintptr_t wparam, intptr_t lparam);
  static void SetWindowPoster(WindowPoster poster);

 private:
  BaseImpl& cam_;
};
