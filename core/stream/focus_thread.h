// The focus-motor watcher: reads pipe 1 and raises event 132 when the position moves.
#pragma once

#include "core/base_impl.h"

class FocusThread {
 public:
  explicit FocusThread(BaseImpl& camera) : cam_(camera) {}
  void thread_af();

  static constexpr uint32_t kBackOffMs = 100;  // after a failed read

 private:
  BaseImpl& cam_;
};
