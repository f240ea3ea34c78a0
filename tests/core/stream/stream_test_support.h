// Shared by the stream suites: bounded waiting, pin buffer sizes, a pin whose conversion waits
// inside, event and header recorders and a fake tick source.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "core/lumorix_frame.h"
#include "core/stream/frame_geometry.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "tests/support/fake_model.h"

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

// One pin pull on its own thread whose conversion waits inside until released (or holdMs pass):
// the raw frame it reads and that frame's stamp when the conversion began and when it ended. The
// destructor releases and joins, so a failed assertion never leaves the thread running.
class HeldConversion {
 public:
  HeldConversion(FakeModel& cam, uint32_t holdMs) : cam_(cam) {
    cam.onConvert = [this, holdMs](const uint8_t* raw) {
      stampIn = stampOf(raw);
      held = raw;
      entered.set();
      release.wait(holdMs);
      stampOut = stampOf(raw);
    };
  }
  ~HeldConversion() {
    release.set();
    if (pin_.joinable()) pin_.join();
  }
  HeldConversion(const HeldConversion&) = delete;
  HeldConversion& operator=(const HeldConversion&) = delete;

  // Pulls until a frame comes (bounded); true once the conversion is inside.
  bool pullAndWait() {
    pin_ = std::thread([this] {
      std::vector<uint8_t> buffer(pinBytes(1024, 770));
      HRESULT hr = S_FALSE;
      for (int tries = 0; hr == S_FALSE && tries < 1000; ++tries)
        hr = cam_.PullFrameForPin(buffer.data(), static_cast<uint32_t>(buffer.size()), nullptr);
      pulled = hr;
    });
    return entered.wait(5000);
  }
  void finish() {
    release.set();
    pin_.join();
  }

  platform::Event entered{platform::Event::Kind::ManualReset, false};
  platform::Event release{platform::Event::Kind::ManualReset, false};
  std::atomic<const uint8_t*> held{nullptr};
  std::atomic<uint32_t> stampIn{0}, stampOut{0};
  std::atomic<HRESULT> pulled{E_PENDING};

 private:
  static uint32_t stampOf(const uint8_t* raw) {
    uint32_t stamp = 0;
    std::memcpy(&stamp, raw, 4);
    return stamp;
  }
  FakeModel& cam_;
  std::thread pin_;
};

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
