// Usb2VgaFamily: the VGA sensor's identity, read modes, divider lines and gain codes.
#include "sim/usb2_vga_family.h"

#include <algorithm>

namespace sim {
namespace {
constexpr uint16_t kLines = 0x09, kDivider = 0x0A, kReset = 0x0D, kReadMode = 0x20,
                   kGreenGain = 0x2B;
constexpr uint32_t kClockMHz = 24;
// Line period by divider code 0, 1, 2 at index 0 / 1.
constexpr uint32_t kLine[3][2] = {{1768, 1128}, {2652, 1692}, {3536, 2256}};
}  // namespace

std::string Usb2VgaFamily::writeRegister(uint16_t address, uint16_t value) {
  if (address == kReset && value == 1) clear();
  store(address, value);
  return {};
}

uint32_t Usb2VgaFamily::readSensor(uint8_t* reply, uint32_t length) {
  const auto n = static_cast<uint32_t>(std::min<size_t>(length, identity_.size()));
  std::copy_n(identity_.begin(), n, reply);
  return n;
}

uint32_t Usb2VgaFamily::index() const {
  return reg(kReadMode) == 0x1000 ? 0 : reg(kReadMode) == 0x1018 ? 1 : 2;
}

uint32_t Usb2VgaFamily::lineClock() const {
  return index() < 2 && reg(kDivider) < 3 ? kLine[reg(kDivider)][index()] : 0;
}

bool Usb2VgaFamily::streaming() const {
  return reg(kReset) == 0 && reg(0x07) == 0x3002 && lineClock() != 0;
}

uint32_t Usb2VgaFamily::width() const {
  return index() == 0 ? 640 : index() == 1 ? 320 : 0;
}
uint32_t Usb2VgaFamily::height() const {
  return index() == 0 ? 480 : index() == 1 ? 240 : 0;
}

uint32_t Usb2VgaFamily::exposureUs() const {
  return exposureOf(reg(kLines), lineClock(), kClockMHz);
}

uint32_t Usb2VgaFamily::lineUs() const {
  return lineUsOf(lineClock(), kClockMHz);
}

uint32_t Usb2VgaFamily::gainPercent() const {
  const uint32_t code = reg(kGreenGain);
  const uint32_t v = code < 128 ? code : code < 384 ? (code - 128) * 2 : (code - 384) * 4;
  return percentOf(v, 40);
}

}  // namespace sim
