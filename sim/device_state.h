// The state one simulated camera shares between its request router and its bulk stream.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/clock.h"
#include "sim/frame_content.h"
#include "sim/sensor_family.h"
#include "sim/sim_log.h"

namespace sim {

struct SimConfig {
  uint16_t vendorId = 0x0547;
  uint16_t productId = 0xC310;
  uint16_t bcdDevice = 3;
  uint32_t instance = 0;
  uint16_t maxPacket = 1024;  // 512 on a USB2 link
  // The answers of requests 0x1E and 0x1F: 0..16 bytes, sent as they are.
  std::string firmwareText = "3.1.0-sim";
  std::string hardwareText = "1.0-sim";
};

// One pulse the guide port received: direction 0..4, its length and when it began.
struct GuidePulse {
  uint32_t direction;
  uint32_t durationMs;
  uint64_t startMs;
  bool activeAt(uint64_t nowMs) const { return nowMs >= startMs && nowMs - startMs < durationMs; }
};

struct DeviceState {
  DeviceState(Clock& c, SimConfig cfg, std::unique_ptr<SensorFamily> f)
      : clock(c), config(cfg), family(std::move(f)) {}

  void record(LogEntry entry) {
    entry.timeMs = clock.now();
    log.add(std::move(entry));
  }

  Clock& clock;
  SimConfig config;
  std::unique_ptr<SensorFamily> family;
  SimLog log;
  std::vector<uint8_t> eeprom;
  ContentKind content = ContentKind::Pattern;
  SceneOptions scene;
  uint32_t framePeriodMs = 10;
  uint8_t systemInit = 0;  // the last value of request 0x01
  uint32_t driverState = 0;
  uint8_t genFailure = 0;
  uint8_t firmwareVersion = 0;
  bool unplugged = false;
  std::vector<GuidePulse> guidePulses;
  std::vector<uint8_t> loopback;  // written to pipe 2, read back from pipe 0x82
};

}  // namespace sim
