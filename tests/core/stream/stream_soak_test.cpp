// Many start, restart and stop cycles while two application threads pull, return and snap at
// random: nothing hangs, leaks or is re-listed twice, and every stop stays prompt.
#include <gtest/gtest.h>

#include <random>

#include "tests/core/stream/stream_test_support.h"
#include "tests/support/fake_model.h"

namespace {

using namespace zxstream;

constexpr int kCycles = 200;

// The application side: the pin (or queue) thread and the still thread.
struct Application {
  FakeModel& cam;
  std::atomic<bool> done{false};
  std::atomic<bool> queueMode{false};
  std::atomic<int> pulled{0}, snapped{0};

  void pin(unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> buffer(pinBytes(1024, 770));
    std::vector<uint8_t> image(1024 * 770 * 4);
    platform::Event tick(platform::Event::Kind::ManualReset, true);
    while (!done) {
      if (!queueMode) {
        if (cam.PullFrameForPin(buffer.data(), uint32_t(buffer.size()), &tick) == S_OK)
          ++pulled;
        else
          std::this_thread::sleep_for(std::chrono::microseconds(200));
        continue;
      }
      LumorixFrameEntry entry{};
      if (rng() % 2 == 0 && cam.PopFrame(&entry) == S_OK && entry.data) {
        ++pulled;
        if (rng() % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
        cam.ReturnFrame(&entry);
      } else if (cam.PullImage(image.data(), rng() % 2 ? 24 : 32, 0, nullptr) == S_OK) {
        ++pulled;
      } else {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    }
  }

  void stills(unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> still(pinBytes(2048, 1534));
    while (!done) {
      const unsigned pick = rng() % 4;
      if (pick == 0 && cam.SnapForPin(still.data(), uint32_t(still.size()), nullptr) == S_OK)
        ++snapped;
      if (pick == 1 && cam.Snap(rng() % 2, 1 + int32_t(rng() % 3), 0) == S_OK) ++snapped;
      LumorixFrameEntry entry{};
      if (pick == 2 && cam.PopStillFrame(&entry) == S_OK) cam.ReturnFrame(&entry);
      std::this_thread::sleep_for(std::chrono::microseconds(300 + rng() % 700));
    }
  }
};

TEST(StreamSoak, CyclesWithRandomPullsReturnsAndSnaps) {
  FakeModel cam;
  EventLog log;
  Application app{cam};
  std::thread pin([&] { app.pin(1); });
  std::thread stills([&] { app.stills(2); });
  std::mt19937 rng(3);
  uint32_t baseline = 0;
  auto slowest = Clock::duration::zero();
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    app.queueMode = cycle % 2 == 1;
    const HRESULT started = app.queueMode ? cam.start(nullptr, nullptr, nullptr, nullptr, nullptr,
                                                      EventLog::record, &log)
                                          : cam.start();
    ASSERT_EQ(started, S_OK) << cycle;
    std::this_thread::sleep_for(std::chrono::microseconds(500 + rng() % 3000));
    ASSERT_EQ(cam.RestartStream(false, false, [] {}), S_OK);
    std::this_thread::sleep_for(std::chrono::microseconds(500 + rng() % 3000));
    const auto begin = Clock::now();
    ASSERT_EQ(cam.stop(), S_OK);
    slowest = std::max(slowest, Clock::now() - begin);
    ASSERT_FALSE(cam.hasThreads());
    if (cycle == 1) baseline = cam.madeEventCount();
  }
  app.done = true;
  pin.join();
  stills.join();
  EXPECT_LT(slowest, std::chrono::seconds(1));
  EXPECT_EQ(cam.madeEventCount(), baseline);
  EXPECT_GT(app.pulled.load(), 0);  // the application side really ran
  EXPECT_GT(app.snapped.load(), 0);
  EXPECT_EQ(cam.buffers().freeList().size(), 3u);  // every raw record back
}

}  // namespace
