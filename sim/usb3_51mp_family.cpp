// Usb3Mp51Family: the 5.1 MP sensor's window modes, row clock and gain codes.
#include "sim/usb3_51mp_family.h"

#include <cmath>

namespace sim {
namespace {
constexpr uint16_t kReset = 0x0D, kPllControl = 0x10, kPllMultiplier = 0x11, kPllDivider = 0x12;
constexpr uint16_t kPllOn = 0x53;
constexpr double kReferenceMHz = 12.0;
constexpr uint16_t kMode = 0x20, kModeReady = 0x4040;
constexpr uint16_t kLastColumn = 0x04, kLastRow = 0x03, kColumnMode = 0x22, kRowMode = 0x23;
constexpr uint16_t kBlanking = 0x05, kRowsHigh = 0x08, kRowsLow = 0x09, kGreenGain = 0x2B;

struct ModeRow {
  uint16_t mode;      // 0x22 and 0x23
  uint32_t factor;    // binned or skipped by
  uint16_t blanking;  // 0x05
  uint32_t lineClock;
};
constexpr ModeRow kModes[] = {
    {0x00, 1, 450, 3460},  {0x00, 1, 2000, 6560}, {0x11, 2, 960, 3200},
    {0x01, 2, 620, 2520},  {0x11, 2, 1000, 3280}, {0x01, 2, 1000, 3280},
    {0x33, 4, 1600, 3840}, {0x03, 4, 600, 1840},  {0x03, 4, 700, 2040},
};
}  // namespace

std::string Usb3Mp51Family::writeRegister(uint16_t address, uint16_t value) {
  if (address == kReset && value == 1) clear();  // a reset forgets every program
  store(address, value);
  return {};
}

uint32_t Usb3Mp51Family::factor() const {
  for (const ModeRow& m : kModes)
    if (reg(kColumnMode) == m.mode && reg(kRowMode) == m.mode) return m.factor;
  return 0;
}

uint32_t Usb3Mp51Family::lineClock() const {
  for (const ModeRow& m : kModes)
    if (reg(kColumnMode) == m.mode && reg(kRowMode) == m.mode && reg(kBlanking) == m.blanking)
      return m.lineClock;
  return 0;
}

// F = 12 x M / P MHz, P one more than the divider register, as on the USB2 5.1 MP sensor.
double Usb3Mp51Family::rowClockMHz() const {
  return kReferenceMHz * (reg(kPllMultiplier) >> 8) / (reg(kPllDivider) + 1.0);
}

bool Usb3Mp51Family::streaming() const {
  return reg(kReset) == 0 && reg(kPllControl) == kPllOn && reg(kMode) == kModeReady &&
         reg(kLastColumn) == 2559 && lineClock() != 0 && rowClockMHz() > 0;
}

uint32_t Usb3Mp51Family::width() const {
  return factor() ? 2560 / factor() : 0;
}
uint32_t Usb3Mp51Family::height() const {
  return factor() ? (reg(kLastRow) + 1u) / factor() : 0;
}

uint32_t Usb3Mp51Family::exposureUs() const {
  if (rowClockMHz() <= 0) return 0;
  const uint32_t rows = uint32_t{reg(kRowsHigh) & 0xFu} << 16 | reg(kRowsLow);
  return static_cast<uint32_t>(rows * double(lineClock()) / rowClockMHz());
}

uint32_t Usb3Mp51Family::lineUs() const {
  if (rowClockMHz() <= 0) return 0;
  return static_cast<uint32_t>(std::ceil(lineClock() / rowClockMHz())) + 1;
}

// The green code back to the smallest percentage that gives it.
uint32_t Usb3Mp51Family::gainPercent() const {
  const uint32_t code = reg(kGreenGain) & 0xFFu;
  const uint32_t k = code < 64 ? code : (code - 64) * 2;
  return k < 12 ? 100 : (k * 100 + 11) / 12;
}

}  // namespace sim
