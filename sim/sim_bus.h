// The simulated bus: routes device opens to simulated cameras for as long as it lives.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "sim/sim_camera.h"

namespace sim {

class SimBus {
 public:
  SimBus();
  ~SimBus();
  SimBus(const SimBus&) = delete;
  SimBus& operator=(const SimBus&) = delete;

  std::shared_ptr<SimCamera> add(Clock& clock, SimConfig config,
                                 std::unique_ptr<SensorFamily> family);
  void remove(const std::shared_ptr<SimCamera>& camera);

  std::unique_ptr<platform::DeviceIo> open(const WString& path, uint32_t* error);

 private:
  std::mutex lock_;
  std::vector<std::shared_ptr<SimCamera>> cameras_;
};

}  // namespace sim
