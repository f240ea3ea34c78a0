// Frames pulled from a streaming camera as a pin pulls them, and what the camera suites read from
// them: the simulated chart's patches and the centre's brightness.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <string>
#include <utility>
#include <vector>

#include "base/geometry.h"
#include "core/base_impl.h"
#include "platform/event.h"

namespace stream_rig {

// A wait on a streaming camera ends at this bound only on a hang: sanitizers and a busy machine
// make a camera slow, not stuck.
inline constexpr std::chrono::seconds kHangBound{60};

// Polls until pred holds; false once the bound has passed without it.
template <class Pred>
bool WaitUntil(Pred pred, std::chrono::seconds bound = kHangBound) {
  const auto end = std::chrono::steady_clock::now() + bound;
  while (!pred() && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return pred();
}

// Declared after a callback's context, stops the camera as the scope ends, a failed assertion's
// return included: no camera thread calls into the context once it is gone.
class StopsOnExit {
 public:
  explicit StopsOnExit(BaseImpl& cam) : cam_(cam) {}
  ~StopsOnExit() { cam_.stop(); }
  StopsOnExit(const StopsOnExit&) = delete;
  StopsOnExit& operator=(const StopsOnExit&) = delete;

 private:
  BaseImpl& cam_;
};

// Pulls into a bottom-up BGR frame; a watchdog wakes a pull that waits too long for its next
// frame, so nothing hangs. The limit bounds each frame, not the run: a slow machine still streams.
class Puller {
 public:
  explicit Puller(BaseImpl& cam, std::chrono::seconds limit = kHangBound)
      : cam_(cam), limit_(limit) {}

  // The number of frames got, n unless the stream failed or no frame came within the limit.
  uint32_t pull(std::vector<uint8_t>& frame, uint32_t n) {
    using Clock = std::chrono::steady_clock;
    platform::Event wake(platform::Event::Kind::AutoReset, false);
    std::atomic<bool> done{false}, timedOut{false};
    std::atomic<Clock::rep> lastFrame{Clock::now().time_since_epoch().count()};
    std::thread watchdog([&] {
      const auto since = [&] {
        return Clock::now() - Clock::time_point(Clock::duration(lastFrame));
      };
      while (!done && since() < limit_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      timedOut = !done.load();
      wake.set();
    });
    uint32_t got = 0;
    while (got < n && !timedOut) {
      const HRESULT hr = cam_.PullFrameForPin(frame.data(), uint32_t(frame.size()), &wake);
      if (hr == S_OK) {
        ++got;
        lastFrame = Clock::now().time_since_epoch().count();
      } else if (FAILED(hr)) {
        break;
      }
    }
    done = true;
    watchdog.join();
    return got;
  }

 private:
  BaseImpl& cam_;
  std::chrono::seconds limit_;
};

// A still as a pin snaps it. A watchdog cancels a snap that gets none within the limit (a camera
// that never delivers the full-size still would keep it trying for ever), and the test fails
// saying so.
inline HRESULT SnapWithin(BaseImpl& cam, std::vector<uint8_t>& still,
                          std::chrono::seconds limit = kHangBound) {
  platform::Event cancel(platform::Event::Kind::ManualReset, false);
  std::atomic<bool> done{false}, timedOut{false};
  std::thread watchdog([&] {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    timedOut = !done.load();
    cancel.set();
  });
  const HRESULT hr = cam.SnapForPin(still.data(), uint32_t(still.size()), &cancel);
  done = true;
  watchdog.join();
  if (timedOut)
    ADD_FAILURE() << "SnapForPin got no still within " << limit.count() << " s; cancelled";
  return hr;
}

// One pixel of a bottom-up BGR DIB, as R, G, B.
struct Rgb {
  int r, g, b;
};
inline Rgb PixelAt(const std::vector<uint8_t>& dib, uint32_t w, uint32_t h, uint32_t x,
                   uint32_t y) {
  const uint8_t* px = dib.data() + size_t(h - 1 - y) * DibRowBytes(24, w) + size_t(x) * 3;
  return Rgb{px[2], px[1], px[0]};
}

// The chart's 4x2 patches, top row first: red, green, blue, white; cyan, magenta, yellow, grey.
struct ChartPatch {
  const char* name;
  bool r, g, b;
};
inline constexpr ChartPatch kChart[2][4] = {
    {{"red", 1, 0, 0}, {"green", 0, 1, 0}, {"blue", 0, 0, 1}, {"white", 1, 1, 1}},
    {{"cyan", 0, 1, 1}, {"magenta", 1, 0, 1}, {"yellow", 1, 1, 0}, {"grey", 1, 1, 1}}};

// The centre of patch (col, row) in frame pixels counted from the top.
inline uint32_t PatchX(uint32_t col, uint32_t w) {
  return (2 * col + 1) * w / 8;
}
inline uint32_t PatchY(uint32_t row, uint32_t h) {
  return (2 * row + 1) * h / 4;
}

// Each patch centre must show its colour's dominant channels, greys must be neutral, and red must
// sit top-left.
inline void ExpectChart(const std::vector<uint8_t>& dib, uint32_t w, uint32_t h, const char* what) {
  for (uint32_t row = 0; row < 2; ++row) {
    for (uint32_t col = 0; col < 4; ++col) {
      const ChartPatch& p = kChart[row][col];
      const Rgb px = PixelAt(dib, w, h, PatchX(col, w), PatchY(row, h));
      const int rgb[3] = {px.r, px.g, px.b};
      const bool on[3] = {p.r, p.g, p.b};
      int lowestOn = 255, highestOff = 0;
      for (int c = 0; c < 3; ++c) {
        if (on[c])
          lowestOn = std::min(lowestOn, rgb[c]);
        else
          highestOff = std::max(highestOff, rgb[c]);
      }
      EXPECT_GT(lowestOn, highestOff + 40)
          << what << " " << p.name << " patch reads " << rgb[0] << "," << rgb[1] << "," << rgb[2];
      const int hi = std::max({rgb[0], rgb[1], rgb[2]}), lo = std::min({rgb[0], rgb[1], rgb[2]});
      if (p.r && p.g && p.b) {
        EXPECT_LE(hi - lo, hi / 10 + 1) << what << " " << p.name << " is not neutral";
      }
    }
  }
}

// The chart's luma as a grey sensor sees it: channels 200 on and 20 off, white 210, grey 128.
inline int ChartLuma(const ChartPatch& p) {
  const std::string name = p.name;
  if (name == "white" || name == "grey") return name == "white" ? 210 : 128;
  const int r = p.r ? 200 : 20, g = p.g ? 200 : 20, b = p.b ? 200 : 20;
  return (r * 77 + g * 150 + b * 29) >> 8;
}

// A grey camera's chart: every patch neutral, and of two patches clearly apart in luma the
// brighter never reads darker (strictly brighter unless it is saturated).
inline void ExpectGreyChart(const std::vector<uint8_t>& dib, uint32_t w, uint32_t h,
                            const char* what) {
  constexpr int kApart = 15;
  std::vector<std::pair<int, int>> patches;  // luma, reading
  for (uint32_t row = 0; row < 2; ++row) {
    for (uint32_t col = 0; col < 4; ++col) {
      const ChartPatch& p = kChart[row][col];
      const Rgb px = PixelAt(dib, w, h, PatchX(col, w), PatchY(row, h));
      EXPECT_TRUE(px.r == px.g && px.g == px.b)
          << what << " " << p.name << " patch reads " << int(px.r) << "," << int(px.g) << ","
          << int(px.b);
      patches.emplace_back(ChartLuma(p), px.g);
    }
  }
  for (const auto& [lumaA, a] : patches)
    for (const auto& [lumaB, b] : patches)
      if (lumaA >= lumaB + kApart) {
        if (a == 255) {
          EXPECT_GE(a, b) << what << " luma " << lumaA << " against " << lumaB;
        } else {
          EXPECT_GT(a, b) << what << " luma " << lumaA << " against " << lumaB;
        }
      }
}

// The mean of the centre fifth of a BGR frame, all channels.
inline double CentreMean(const std::vector<uint8_t>& dib, uint32_t w, uint32_t h) {
  const uint32_t x0 = w * 2 / 5, x1 = w * 3 / 5, y0 = h * 2 / 5, y1 = h * 3 / 5;
  uint64_t sum = 0;
  for (uint32_t y = y0; y < y1; ++y)
    for (size_t i = size_t{x0} * 3; i < size_t{x1} * 3; ++i) sum += dib[y * DibRowBytes(24, w) + i];
  const uint64_t n = uint64_t{x1 - x0} * (y1 - y0) * 3;
  return n ? double(sum) / double(n) : 0;
}

}  // namespace stream_rig
