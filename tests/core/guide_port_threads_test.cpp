// Two threads connecting, pulsing and disconnecting the one guide port.
#include <gtest/gtest.h>

#include <thread>

#include "tests/core/guide_rig.h"

namespace {

using namespace testing_guide;

TEST(GuidePortThreads, ConnectPulseAndDisconnectRace) {
  GuideRig rig({{kGuideCamera, false}});
  auto run = [&] {
    for (int i = 0; i < 1000; ++i) {
      rig.port->connect(1);
      const int32_t hr = rig.port->pulse(1, 30);
      EXPECT_TRUE(hr == S_OK || hr == 0) << hr;
      rig.port->state();
      rig.port->connect(0);
    }
  };
  std::thread a(run), b(run);
  a.join();
  b.join();
  EXPECT_EQ(rig.port->kind(), GuidePort::Kind::None);
}

}  // namespace
