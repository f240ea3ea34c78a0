// Usb3Mp31Family: the window programs and the exposure and gain formulas of the 3.1 MP sensor.
#include "sim/usb3_31mp_family.h"

#include <iterator>

namespace sim {

struct Usb3Mp31Family::Window {
  uint16_t colInc, rowInc, firstCol, lastCol, firstRow, lastRow;
  uint32_t width, height;
};

namespace {
constexpr uint16_t kControl = 0x301A, kStreamBit = 1u << 2;
constexpr uint16_t kIntegrationLines = 0x3012, kLineLength = 0x300C, kClock = 0x3030;
constexpr uint16_t kAnalogGain = 0x3060, kFrameLength = 0x300A;

struct ClockRow {
  uint16_t reg;
  uint32_t factor;
};
constexpr ClockRow kClocks[] = {{120, 80}, {135, 90}, {147, 98}};

struct GainRow {
  uint16_t reg;
  uint32_t percent;  // the smallest gain the model programs with this value
};
constexpr GainRow kGains[] = {{6, 100},  {7, 104},  {8, 108},  {9, 113},  {10, 118}, {11, 123},
                              {12, 130}, {13, 137}, {14, 144}, {15, 153}, {16, 162}, {18, 173},
                              {20, 186}, {22, 200}, {24, 217}, {26, 236}, {28, 260}, {30, 289}};
}  // namespace

static constexpr Usb3Mp31Family::Window kWindows[] = {
    {1, 1, 134, 2181, 6, 1539, 2048, 1534},
    {3, 3, 134, 2179, 6, 1543, 1024, 770},
};

SceneOptions Usb3Mp31Family::sceneOptions() {
  SceneOptions options;
  options.bayerOrder = 0;
  options.wbBase = {372, 256, 379};
  return options;
}

const Usb3Mp31Family::Window* Usb3Mp31Family::window() const {
  for (const Window& w : kWindows)
    if (reg(0x30A2) == w.colInc && reg(0x30A6) == w.rowInc && reg(0x3004) == w.firstCol &&
        reg(0x3008) == w.lastCol && reg(0x3002) == w.firstRow && reg(0x3006) == w.lastRow)
      return &w;
  return nullptr;
}

std::string Usb3Mp31Family::writeRegister(uint16_t address, uint16_t value) {
  store(address, value);
  if (address != kControl || !(value & kStreamBit)) return {};
  if (!window()) return "unknown window: no frames";
  if (!framed()) return "frame length shorter than the frame: no frames";
  return {};
}

bool Usb3Mp31Family::framed() const {
  return reg(kFrameLength) >= window()->height;
}

bool Usb3Mp31Family::streaming() const {
  return (reg(kControl) & kStreamBit) && window() && framed();
}
uint32_t Usb3Mp31Family::width() const {
  return window() ? window()->width : 0;
}
uint32_t Usb3Mp31Family::height() const {
  return window() ? window()->height : 0;
}

uint32_t Usb3Mp31Family::exposureUs() const {
  uint32_t factor = 98;
  for (const ClockRow& c : kClocks)
    if (reg(kClock) == c.reg) factor = c.factor;
  return static_cast<uint32_t>(uint64_t{reg(kIntegrationLines)} * 2 * reg(kLineLength) / factor);
}

uint32_t Usb3Mp31Family::lineUs() const {
  return 2u * reg(kLineLength) / kClocks[0].factor + 1;
}

uint32_t Usb3Mp31Family::gainPercent() const {
  uint32_t percent = 100;
  for (const GainRow& g : kGains)
    if (reg(kAnalogGain) >= g.reg) percent = g.percent;
  return percent;
}

}  // namespace sim
