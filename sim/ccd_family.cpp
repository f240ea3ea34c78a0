// The simulated CCD cameras: programs recognised by their write counts, exposure decoded from the
// registers, fields interleaved on the wire with their junk heads.
#include "sim/ccd_family.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sim {
namespace {

constexpr uint8_t kJunk = 0xEE;

// Writes from a program's 16 = 1 to its last row: {full, reduced} per form.
struct ProgramCounts {
  uint32_t shortForm[2];
  uint32_t longForm[2];
};
constexpr ProgramCounts kCounts[] = {
    {{104, 104}, {185, 185}}, {{193, 129}, {436, 165}}, {{204, 114}, {449, 185}}};

struct Geometry {
  uint32_t rowBytes, rows;
  uint32_t fields;
  uint8_t order[3];    // the frame row each field starts at, in the order sent
  uint32_t headRows;   // junk rows leading each field
  bool fieldSegments;  // each field its own transfer, with field-index extra bytes
  uint32_t tailPad;    // extra bytes after a straight frame
};

Geometry geometryOf(CcdKind kind, bool second, int32_t mode) {
  switch (kind) {
    case CcdKind::Mp14:
      return {1360, 1024, 1, {0, 0, 0}, 0, false, 0};
    case CcdKind::Mp31:
      if (mode == 1) return {2048, 240, 1, {0, 0, 0}, 0, false, second ? 0u : 1u};
      return second ? Geometry{2048, 1536, 2, {1, 0, 0}, 0, false, 0}
                    : Geometry{2048, 1536, 2, {0, 1, 0}, 41, true, 0};
    case CcdKind::Mp51:
      break;
  }
  if (mode == 1) return {2240, 210, 1, {0, 0, 0}, 0, false, second ? 0u : 1u};
  return second ? Geometry{2592, 1944, 3, {2, 0, 1}, 0, false, 0}
                : Geometry{2592, 1944, 3, {1, 2, 0}, 22, true, 0};
}

}  // namespace

uint32_t CcdFamily::packed(uint32_t reg) const {
  const auto it = packed_.find(reg);
  return it == packed_.end() ? 0 : it->second;
}

uint16_t CcdFamily::fpga(uint16_t reg) const {
  const auto it = fpga_.find(reg);
  return it == fpga_.end() ? 0 : it->second;
}

std::string CcdFamily::writePacked(uint32_t reg, uint32_t value, bool isLong) {
  packed_[reg] = value;
  std::string error;
  if (isLong != longForm()) error = "register write in the other form";
  if (reg == 16 && value == 1) loading_ = true, writes_ = 0, mode_ = -1;
  if (!loading_) return error;
  ++writes_;
  if (second_) return error;  // the second generation's mode comes with FPGA 8
  const ProgramCounts& c = kCounts[static_cast<int>(kind_)];
  const uint32_t* counts = longForm() ? c.longForm : c.shortForm;
  if ((reg == 21 || reg == 20) && value == 1) {
    for (int32_t m = 0; m < 2; ++m)
      if (writes_ == counts[m]) mode_ = kind_ == CcdKind::Mp14 ? 0 : m, loading_ = false;
  }
  if (loading_ && writes_ > std::max(counts[0], counts[1])) return endProgram();
  return error;
}

std::string CcdFamily::endProgram() {
  loading_ = false, mode_ = -1;
  return "unknown timing program";
}

void CcdFamily::writeFpga(uint16_t reg, uint16_t value) {
  fpga_[reg] = value;
  if (!second_ || reg != 8) return;
  loading_ = false;
  if (value == 0) mode_ = -1;
  if (value == 1) mode_ = kind_ == CcdKind::Mp14 ? 0 : 1;
  if (value == 2 || value == 3) mode_ = 0;
}

uint32_t CcdFamily::width() const {
  return geometryOf(kind_, second_, mode_).rowBytes;
}

uint32_t CcdFamily::height() const {
  return geometryOf(kind_, second_, mode_).rows;
}

// The time the registers program, in microseconds, by the class's rule for the loaded mode.
uint32_t CcdFamily::exposureUs() const {
  const double f = clockMHz();
  const bool reduced = mode_ == 1;
  double us = 0;
  if (second_) {
    static constexpr double kLineClocks[3][2] = {{1834, 1834}, {2288, 2300}, {3072, 3672}};
    const uint32_t frame = fpga(0) | uint32_t{fpga(1)} << 16;
    const uint32_t n = frame - std::min(frame, packed(100) >> 12);
    us = n * kLineClocks[static_cast<int>(kind_)][reduced] / f;
  } else if (kind_ == CcdKind::Mp14) {
    const bool l = longForm();
    const double lines = l ? 1054 : 1052, clocks = l ? 1796 : 1810;
    const uint32_t n = l ? packed(99) - std::min(packed(99), 4096u) : packed(98);
    const uint32_t m = (l ? 1053 : 1051) - std::min(l ? 1053u : 1051u, packed(l ? 100 : 99) >> 12);
    us = n * lines * clocks / f + (m * clocks + 800) / f;
  } else if (kind_ == CcdKind::Mp31 && !longForm()) {
    const uint32_t lines = reduced ? 260 : 872;
    const uint32_t n = lines - 1 - std::min(lines - 1, packed(99) >> 12);
    us = n * (reduced ? 5248 : 2544) / f;
  } else if (kind_ == CcdKind::Mp31) {
    const double clocks = reduced ? 2300 : 2218, rest = reduced ? 2300 : 2288;
    const uint32_t lines = reduced ? 252 : 818;
    const uint32_t w = packed(99) - std::min(packed(99), 4096u);
    const uint32_t q = lines - 1 - std::min(lines - 1, packed(100) >> 12);
    us = w * clocks * lines / f + (q * rest + 1251) / f;
  } else {
    const uint32_t lines = !reduced ? 733 : longForm() ? 250 : 219;
    const uint32_t n = lines - std::min(lines, packed(longForm() ? 100 : 99) >> 12);
    us = n * (reduced ? 3632 : 3032) / f;
  }
  return static_cast<uint32_t>(std::lround(us));
}

uint32_t CcdFamily::gainPercent() const {
  const uint32_t code = packed(longForm() ? 5 : 1);
  const double scale = kind_ == CcdKind::Mp14 ? 773 : 495;
  return static_cast<uint32_t>(
      std::lround(std::pow(10.0, (code * 0.0351 + 6.0) / 20.0) * 100.0 * 100.0 / scale));
}

uint32_t CcdFamily::lineUs() const {
  static constexpr double kLineClocks[3][2] = {{1810, 1810}, {2544, 5248}, {3072, 3672}};
  const double clocks = kLineClocks[static_cast<int>(kind_)][mode_ == 1];
  return static_cast<uint32_t>(std::ceil(clocks / clockMHz()));
}

// Fields go out one after the other, each every fields-th row from its first; a first-generation
// field is led by junk rows, sent as its own transfer and carries its index in extra bytes.
void CcdFamily::wireFrame(std::vector<uint8_t>& frame, std::vector<uint32_t>& segments) const {
  const Geometry g = geometryOf(kind_, second_, mode_);
  segments.clear();
  if (g.fields == 1) {
    frame.resize(frame.size() + g.tailPad, kJunk);
    segments.push_back(static_cast<uint32_t>(frame.size()));
    return;
  }
  std::vector<uint8_t> wire;
  wire.reserve(frame.size() + size_t{g.fields} * (g.headRows * g.rowBytes + 2));
  for (uint32_t f = 0; f < g.fields; ++f) {
    const size_t start = wire.size();
    wire.resize(wire.size() + size_t{g.headRows} * g.rowBytes, kJunk);
    for (uint32_t row = g.order[f]; row < g.rows; row += g.fields)
      wire.insert(wire.end(), frame.begin() + size_t{row} * g.rowBytes,
                  frame.begin() + size_t{row + 1} * g.rowBytes);
    if (g.fieldSegments) {
      wire.resize(wire.size() + f, kJunk);
      segments.push_back(static_cast<uint32_t>(wire.size() - start));
    }
  }
  if (!g.fieldSegments) segments.push_back(static_cast<uint32_t>(wire.size()));
  frame.swap(wire);
}

}  // namespace sim
