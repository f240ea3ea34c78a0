// The executor: steps in order, pauses through the hook, and whole programs under the sensor lock.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "models/common/sensor_sequencer.h"
#include "models/families/usb3_31mp.h"
#include "tests/models/recording_sensor.h"

namespace {

using testing_models::RecordingSensor;

TEST(ModelRegisterProgram, RunsEveryStepInOrderThroughTheHooks) {
  RecordingSensor sensor;
  platform::RecursiveLock lock;
  RegisterProgram program(sensor, lock);
  const std::vector<RegStep> steps{Write(1, 2), Wait(7), Write(3, 4), Wait(0)};
  program.run(steps);
  EXPECT_EQ(sensor.take(), steps);
}

// Holds the lock from another thread and checks a program waits for it.
TEST(ModelRegisterProgram, WaitsForTheSensorLock) {
  RecordingSensor sensor;
  platform::RecursiveLock lock;
  RegisterProgram program(sensor, lock);
  lock.lock();
  std::thread runner([&] { program.run(std::array{Write(1, 1)}); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(sensor.take().empty());
  lock.unlock();
  runner.join();
  EXPECT_EQ(sensor.take().size(), 1u);
}

// Two threads programming exposure and gain: every exposure program reaches the sensor whole.
TEST(ModelRegisterProgram, ConcurrentProgramsStayContiguous) {
  RecordingSensor sensor;
  platform::RecursiveLock lock;
  RegisterProgram program(sensor, lock);
  SensorSequencer sequencer(program, kSpecRostrel303100KPA, true);
  sequencer.open(0, 2, 94000);
  sensor.take();
  constexpr int kRounds = 500;
  auto exposer = [&](uint32_t base) {
    for (int i = 0; i < kRounds; ++i) sequencer.setExposure(base + (i % 2) * 1000000, 2);
  };
  auto speeder = [&] {
    for (int i = 0; i < kRounds; ++i) sequencer.setSpeed(static_cast<uint16_t>(i % 3), 1500000);
  };
  std::thread a(exposer, 1000000), b(speeder);
  a.join();
  b.join();
  // A speed program is five steps with nothing between them, and each 0x3012 follows either a
  // line length of its own program or a step of the same thread's program.
  const auto log = sensor.take();
  for (size_t i = 0; i < log.size(); ++i) {
    if (log[i] == Write(0x301A, 0x10D8)) {
      ASSERT_LE(i + 5, log.size());
      EXPECT_EQ(log[i + 1], Wait(100));
      EXPECT_EQ(log[i + 2].reg, 0x3030);
      EXPECT_EQ(log[i + 3], Wait(100));
      EXPECT_EQ(log[i + 4], Write(0x301A, 0x10DC));
    }
    if (log[i].reg == 0x300C) {
      ASSERT_LT(i + 1, log.size());
      EXPECT_EQ(log[i + 1].reg, 0x3012) << i;
    }
  }
}

}  // namespace
