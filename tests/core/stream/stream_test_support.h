// Shared by the stream suites: bounded waiting, pin buffer sizes, event and header recorders and
// a fake tick source.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "core/lumorix_frame.h"
#include "core/stream/frame_geometry.h"
#include "platform/clock.h"

namespace zxstream {

using Clock = std::chrono::steady_clock;

template <class Pred>
bool waitFor(Pred pred, int ms = 5000) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (!pred()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

inline uint32_t pinBytes(uint32_t w, uint32_t h) {
  return static_cast<uint32_t>(ImageBytes(24, {w, h}));
}

// Events as raised, with the raising thread.
struct EventLog {
  std::mutex lock;
  std::vector<uint32_t> codes;
  std::vector<std::thread::id> threads;
  void add(uint32_t code) {
    std::lock_guard<std::mutex> guard(lock);
    codes.push_back(code);
    threads.push_back(std::this_thread::get_id());
  }
  size_t count(uint32_t code) {
    std::lock_guard<std::mutex> guard(lock);
    return static_cast<size_t>(std::count(codes.begin(), codes.end(), code));
  }
  static void record(uint32_t code, void* context) { static_cast<EventLog*>(context)->add(code); }
};

// The headers a data callback A or a still-buffer callback was handed, in order.
struct HeaderLog {
  std::mutex lock;
  std::vector<LumorixFrameHeader> headers;
  void add(const uint8_t* data, const LumorixFrameHeader* header) {
    std::lock_guard<std::mutex> guard(lock);
    if (data && header) headers.push_back(*header);
  }
  static void onData(const uint8_t* data, const LumorixFrameHeader* header, int32_t,
                     void* context) {
    static_cast<HeaderLog*>(context)->add(data, header);
  }
  static void onStillBuffer(const uint8_t* data, const LumorixFrameHeader* header, int32_t,
                            const uint8_t*, uint32_t, const LumorixFrameInfo*, uint8_t, uint32_t,
                            uint32_t, void* context) {
    static_cast<HeaderLog*>(context)->add(data, header);
  }
  bool first(LumorixFrameHeader& out) {
    if (!waitFor([&] {
          std::lock_guard<std::mutex> guard(lock);
          return !headers.empty();
        }))
      return false;
    std::lock_guard<std::mutex> guard(lock);
    out = headers.front();
    return true;
  }
};

// The stream's millisecond tick under test control for the life of the object.
class FakeTicks {
 public:
  explicit FakeTicks(uint32_t start) {
    now_ = start;
    platform::SetTickSource([] { return now_.load(); });
  }
  ~FakeTicks() { platform::SetTickSource(nullptr); }
  void advance(uint32_t ms) { now_ += ms; }

 private:
  static inline std::atomic<uint32_t> now_{0};
};

}  // namespace zxstream
