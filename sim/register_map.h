// A simulated sensor's register file: the last value written to each register, 0 before any,
// forgotten as a whole by a reset.
#pragma once

#include <map>

#include "sim/sensor_family.h"

namespace sim {

class RegisterMap : public SensorFamily {
 public:
  uint16_t reg(uint16_t address) const override {
    const auto it = regs_.find(address);
    return it == regs_.end() ? 0 : it->second;
  }

 protected:
  void store(uint16_t address, uint16_t value) { regs_[address] = value; }
  void clear() { regs_.clear(); }
  bool written(uint16_t address) const { return regs_.count(address) != 0; }

 private:
  std::map<uint16_t, uint16_t> regs_;
};

}  // namespace sim
